#pragma once
// The command-line tool's commands, kept out of main() so that tests can run them.
#include <cstdio>
#include <string>
#include <vector>

namespace tess {

// Output goes to out and err as UTF-8; each returns the exit status.
int RunCli(const std::vector<std::u16string>& args, std::FILE* out = stdout, std::FILE* err = stderr);
// `info PATH...` (args without the command word).
int RunInfoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err);
// `plan --folder T --name T [--action copy|move] [--run] PATH...`
int RunPlanCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err);
// `undo [--list] [RUN]`
int RunUndoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err);
// `history [PATH...]`, `history --forget RUN`, `history --check`; the database at a given path
// for tests.
int RunHistoryCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err);
// journals, when given, seed a new database once.
class JournalFolder;
int RunHistoryCommandAt(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                        const std::u16string& databasePath, JournalFolder* journals = nullptr);

// Writes line and a newline as UTF-8, whole: a NUL in a camera text must not swallow the
// rest of its line.
void PrintLine(std::FILE* out, const std::u16string& line);

}  // namespace tess
