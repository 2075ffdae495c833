// A crash in the middle of a long run, for tests and benchmarks: a project
// checked with "check --save" against the fake world is killed with SIGKILL
// once its journal holds a given number of results, then recovered with
// "check --resume --save", and the outcome is judged.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace mv::test {

class FakeWorld;

// The world the crash runs in: every reply comes after 20 ms, so that a run
// lasts long enough to be killed in its middle. "valid@..." is accepted, any
// other address refused with 550.
extern const char* const kSlowWorld;

// Makes the project `dir`/crash.mlt of `rows` marked rows, kills its
// check --save once the journal holds `killAfter` results (0: at once),
// resumes it, and checks that the recovered project holds every result that
// was in the journal, each one right, that the resume asked about no row the
// journal had answered, and that every row ends with its result. Empty when
// all held, else what went wrong.
std::string CrashAndResume(const FakeWorld& world, const std::filesystem::path& dir, size_t rows,
                           size_t killAfter);

}  // namespace mv::test
