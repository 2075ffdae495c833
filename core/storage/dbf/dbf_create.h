// Creating a table from field definitions: one line per field with name,
// type letter, length and decimal count separated by commas ("email,C,50,0").
#pragma once

#include <string>
#include <vector>

#include "platform/text/code_page.h"
#include "storage/dbf/dbf_engine.h"
#include "storage/dbf/dbf_format.h"

namespace mv::dbf {

// Turns the definition lines into fields. Returns false (nothing to create)
// when a line does not hold exactly three commas or no field remains; raises
// ETableError for an empty name ("Empty field name [CreateDbf(<file>)]"), a
// value out of range (201 "Range check error") or a missing length
// ("Invalid dBASE field definition [CreateDBF]"). Type "X" lines are skipped.
bool ParseFieldDefinitions(const std::vector<std::string>& lines, const std::string& fileName,
                           bool memoAsNumber, const CodePage& page,
                           std::vector<TDbfFieldProps>& fields);

// Creates (or empties) the table `fileName` ("DBF" is added when it has no
// extension) with the fields of `lines`, and its memo file when a field is of
// type M. The new file holds the header, the descriptors, 0x0D and 0x1A.
// Returns false when the definitions give no table; raises ETableError when
// they are wrong or the file cannot be written.
bool CreateDbf(const std::string& fileName, const std::vector<std::string>& lines,
               TTableLanguage language = TTableLanguage::tlOem);

}  // namespace mv::dbf
