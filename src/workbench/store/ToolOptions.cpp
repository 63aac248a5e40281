// The tool options and the options dialog (see ToolOptions.h).
#include "workbench/store/ToolOptions.h"

#include <filesystem>

#include "support/Error.h"
#include "workbench/store/Database.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLineEnd = "\n";

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

}  // namespace

WorkbenchToolOptions::WorkbenchToolOptions(DataStoreConnection& connection, std::string defaultCompiler)
    : db_(DatabaseOf(&connection)), defaultCompiler_(std::move(defaultCompiler)) {}

std::optional<std::string> WorkbenchToolOptions::StoredOption(int32_t option) {
  if (!HasTable(db_, "tool_options")) return std::nullopt;
  Statement query(db_, "SELECT value FROM tool_options WHERE number = ?");
  query.Bind(1, static_cast<int64_t>(option));
  if (!query.Step()) return std::nullopt;
  return query.ColumnText(0);
}

std::string WorkbenchToolOptions::GetOption(int32_t option) {
  if (std::optional<std::string> stored = StoredOption(option)) return *stored;
  if (option == tool_option::kResourceCompiler && IsFile(defaultCompiler_)) return defaultCompiler_;
  return {};
}

void WorkbenchToolOptions::SetOption(int32_t option, const std::string& value) {
  if (value.empty()) {
    Statement remove(db_, "DELETE FROM tool_options WHERE number = ?");
    remove.Bind(1, static_cast<int64_t>(option)).Run();
    return;
  }
  Statement set(db_,
                "INSERT INTO tool_options (number, value) VALUES (?, ?) ON CONFLICT (number) DO UPDATE SET value = "
                "excluded.value");
  set.Bind(1, static_cast<int64_t>(option)).Bind(2, value).Run();
}

WorkbenchOptionsDialog::WorkbenchOptionsDialog(Console& console, std::string defaultCompiler)
    : console_(console), defaultCompiler_(std::move(defaultCompiler)) {}

void WorkbenchOptionsDialog::SetDataStore(DataStore* store) { store_ = store; }

void WorkbenchOptionsDialog::Show(int32_t, int64_t) {
  WorkbenchToolOptions options(Ref(Ref(store_).Connection()), defaultCompiler_);
  const std::string current = options.GetOption(tool_option::kResourceCompiler);
  TextQuestion question;
  question.defaultText = current;
  question.cancelWord = Text(WB_OPT_CANCEL_WORD);
  question.prompt = current.empty() ? Text(WB_OPT_ASK_COMPILER_NO_DEFAULT, {question.cancelWord})
                                    : Text(WB_OPT_ASK_COMPILER, {current, question.cancelWord});
  // An answer given in advance is taken at the first attempt only; a path
  // that does not do is followed by the question on standard input.
  question.key = answer_key::kResourceCompiler;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const std::optional<std::string> answer = AskText(console_, question);
    question.key.clear();
    if (!answer) break;
    std::error_code ec;
    const fs::path path = fs::absolute(*answer, ec).lexically_normal();
    if (ec || !IsFile(path.string())) {
      console_.Write(Text(WB_OPT_NO_SUCH_FILE, {*answer}) + kLineEnd);
      continue;
    }
    options.SetOption(tool_option::kResourceCompiler, path.string());
    console_.Write(Text(WB_OPT_COMPILER_SET, {path.string()}) + kLineEnd);
    return;
  }
  console_.Write(Text(WB_OPT_COMPILER_UNCHANGED) + kLineEnd);
}

}  // namespace zt::wb
