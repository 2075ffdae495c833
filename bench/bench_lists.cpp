#include "bench_lists.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "storage/dbf/tb_dbf.h"

namespace mv::bench {

void FillProjectList(RecipientList& list, size_t rows, bool accented) {
    list.AddColumn("Name", 120);
    list.AddColumn("City", 120);
    list.BeginUpdate();
    list.Reserve(rows);
    char caption[64];
    char name[32];
    char city[32];
    for (size_t i = 0; i < rows; ++i) {
        std::snprintf(caption, sizeof caption, "user%07zu@example%04zu.com", i, i % 9973);
        if (accented) {
            std::snprintf(name, sizeof name, "%s %zu", i % 10 == 0 ? "Jürgen" : "Name", i);
            std::snprintf(city, sizeof city, "%s", i % 7 == 0 ? "Zürich" : "Lisbon");
        } else {
            std::snprintf(name, sizeof name, "Name %zu", i);
            std::snprintf(city, sizeof city, "City %zu", i % 5000);
        }
        const bool valid = i % 3 != 0;
        const std::string_view subItems[] = {
            valid ? "[0] Valid E-mail Address!" : "[550] Mailbox unavailable", name, city};
        list.AppendRow(caption, subItems, valid ? kIconValid : kIconFailed,
                       valid ? kMarkUnchecked : kMarkChecked);
    }
    list.EndUpdate();
}

void AddFindings(RecipientList& list) {
    list.BeginUpdate();
    for (size_t row = 0; row < list.RowCount(); ++row) {
        const std::optional<Verdict> verdict = list.VerdictOf(row);
        if (!verdict) continue;
        const bool valid = *verdict == Verdict::kDeliverable;
        ResultFinding finding;
        finding.verdict = *verdict;
        finding.reason = valid ? Reason::kAccepted : Reason::kMailboxUnknown;
        finding.reply = valid ? "250 2.1.5 Ok" : "550 5.1.1 <user> Recipient address rejected";
        finding.host = "mx1.example.com";
        finding.hostsTried = {finding.host};
        list.SetFinding(row, std::move(finding));
    }
    list.EndUpdate();
}

void WriteProjectFile(const std::filesystem::path& file, size_t rows, bool accented) {
    RecipientList list;
    FillProjectList(list, rows, accented);
    SaveProjectFile(list, file);
}

void WriteCsvList(const std::filesystem::path& file, size_t lines) {
    std::ofstream out(file, std::ios::binary);
    out << "Email,First name,Last name,City,Phone\r\n";
    std::string line;
    for (size_t n = 0; n < lines; ++n) {
        const std::string id = std::to_string(n);
        line.assign("user").append(id).append("@example").append(std::to_string(n % 97));
        line.append(".com,First").append(id).append(",\"Last, ").append(id);
        line.append("\",City ").append(std::to_string(n % 1000)).append(",+47 ").append(id);
        line.append("\r\n");
        out << line;
    }
}

void WriteDbfList(const std::filesystem::path& file, size_t records) {
    TTbDbf table("bench");
    table.SetDbfFileName(file.string());
    table.SetDbfFields(
        {"EMAIL,C,40,0", "NAME,C,30,0", "VISITS,N,8,0", "SINCE,D,8,0", "ACTIVE,L,1,0"});
    table.CreateTable();
    table.SetActive(true);
    for (size_t n = 0; n < records; ++n) {
        const std::string id = std::to_string(n);
        char date[11];
        std::snprintf(date, sizeof date, "%04zu-%02zu-%02zu", 1990 + n % 30, 1 + n % 12,
                      1 + n % 28);
        table.Append();
        table.Fields(0).SetAsString("user" + id + "@example" + std::to_string(n % 97) + ".com");
        table.Fields(1).SetAsString("Name " + id);
        table.Fields(2).SetAsString(std::to_string(n % 100000));
        table.Fields(3).SetAsString(date);
        table.Fields(4).SetAsString(n % 3 == 0 ? "F" : "T");
        table.Post();
    }
    table.Close();
}

}  // namespace mv::bench
