#include "printinbox/PrintedJob.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace printinbox {

namespace {

constexpr std::size_t kTitleLimit = 200;
constexpr std::size_t kReasonLimit = 400;
constexpr std::size_t kNameLimit = 120;

bool isDocumentName(std::string_view name) {
  if (name.empty() || name.size() > kNameLimit || name[0] == '.')
    return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'))
      return false;
  return true;
}

template <typename Int> Int numberOf(std::string_view text) {
  Int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0)
    return 0;
  return value;
}

} // namespace

std::string CleanLine(std::string_view text, std::size_t limit) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u == 0x7f) ? ' ' : c;
  }
  if (out.size() > limit) {
    std::size_t cut = limit;
    // Back off to the start of a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
      --cut;
    out.resize(cut);
  }
  return out;
}

std::string CleanFaxNumber(std::string_view number) {
  std::string out;
  for (char c : number) {
    const bool keep = std::isdigit(static_cast<unsigned char>(c)) ||
                      std::strchr("+*#,-() WPTwpt", c) != nullptr;
    if (keep && c != '\0' && out.size() < 40)
      out += c;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string FormatJob(const PrintedJob& job) {
  std::string text;
  auto line = [&](const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
  };
  line("document", isDocumentName(job.document) ? job.document : std::string());
  line("number", CleanFaxNumber(job.number));
  line("title", CleanLine(job.title, kTitleLimit));
  line("user", CleanLine(job.user, kNameLimit));
  line("pages", std::to_string(job.pages < 0 ? 0 : job.pages));
  line("job", std::to_string(job.queueJob < 0 ? 0 : job.queueJob));
  if (!job.reason.empty())
    line("reason", CleanLine(job.reason, kReasonLimit));
  return text;
}

std::optional<PrintedJob> ParseJob(std::string_view text) {
  PrintedJob job;
  bool sawDocument = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
      continue;
    const std::string_view key = line.substr(0, eq);
    const std::string_view value = line.substr(eq + 1);
    if (key == "document") {
      if (!value.empty() && !isDocumentName(value))
        return std::nullopt;
      job.document = std::string(value);
      sawDocument = true;
    } else if (key == "number") {
      job.number = CleanFaxNumber(value);
    } else if (key == "title") {
      job.title = CleanLine(value, kTitleLimit);
    } else if (key == "user") {
      job.user = CleanLine(value, kNameLimit);
    } else if (key == "pages") {
      job.pages = numberOf<int>(value);
    } else if (key == "job") {
      job.queueJob = numberOf<long>(value);
    } else if (key == "reason") {
      job.reason = CleanLine(value, kReasonLimit);
    }
  }
  if (!sawDocument)
    return std::nullopt;
  return job;
}

std::map<std::string, std::string> ParseQueueOptions(std::string_view options) {
  std::map<std::string, std::string> result;
  std::size_t i = 0;
  const std::size_t n = options.size();
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  // Reads one name or value up to an unquoted space (or '=' for a name).
  auto token = [&](bool stopAtEquals) {
    std::string out;
    char quote = 0;
    while (i < n) {
      const char c = options[i];
      if (quote) {
        if (c == quote) {
          quote = 0;
          ++i;
        } else if (c == '\\' && i + 1 < n) {
          out += options[i + 1];
          i += 2;
        } else {
          out += c;
          ++i;
        }
        continue;
      }
      if (isSpace(c) || (stopAtEquals && c == '='))
        break;
      if (c == '\'' || c == '"') {
        quote = c;
        ++i;
      } else if (c == '\\' && i + 1 < n) {
        out += options[i + 1];
        i += 2;
      } else {
        out += c;
        ++i;
      }
    }
    return out;
  };
  while (i < n) {
    while (i < n && isSpace(options[i]))
      ++i;
    if (i >= n)
      break;
    std::string name = token(true);
    std::string value = "true";
    if (i < n && options[i] == '=') {
      ++i;
      value = token(false);
    }
    if (!name.empty())
      result[name] = value;
    else if (i < n && !isSpace(options[i]))
      ++i; // a lone '=' or similar: skip it so the loop moves on
  }
  return result;
}

} // namespace printinbox
