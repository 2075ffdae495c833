// The projects and lists the benchmarks build, made in one place so that the
// window's figures and the core's are taken over the same data.
#pragma once

#include <cstddef>
#include <filesystem>

namespace mv {
class RecipientList;
}

namespace mv::bench {

// Rows "user0000000@example0000.com" with the extra columns Name and City;
// two rows in three valid ("[0] Valid E-mail Address!", icon 0, unmarked),
// the others refused ("[550] Mailbox unavailable", icon 1, marked). With
// `accented`, every tenth name is "Jürgen N" and every seventh city
// "Zürich" (the rest "Lisbon"), for searches that fold case beyond ASCII;
// otherwise "Name N" and "City N" with 5000 cities.
void FillProjectList(RecipientList& list, size_t rows, bool accented = false);
// Gives every row with a result the finding a check would have left: its
// verdict and reason, the deciding reply and the mail host.
void AddFindings(RecipientList& list);
// The rows of FillProjectList saved as a project file.
void WriteProjectFile(const std::filesystem::path& file, size_t rows, bool accented = false);

// A CSV list: the header "Email,First name,Last name,City,Phone" and `lines`
// lines of five fields, one of them quoted with a comma inside (about 70 MB
// for a million).
void WriteCsvList(const std::filesystem::path& file, size_t lines);
// A dBase table of `records` records: EMAIL C 40, NAME C 30, VISITS N 8,
// SINCE D and ACTIVE L.
void WriteDbfList(const std::filesystem::path& file, size_t records);

}  // namespace mv::bench
