#include "tools/tolvane-fax/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace cli {

CommandLine::CommandLine(const std::vector<std::string>& args, const std::set<std::string>& valued,
                         const std::set<std::string>& flags) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      m_positional.push_back(a);
      continue;
    }
    const std::string name = a.substr(2);
    if (flags.count(name)) {
      m_options[name] = "";
    } else if (valued.count(name)) {
      if (i + 1 >= args.size())
        throw UsageError("option --" + name + " needs a value");
      m_options[name] = args[++i];
    } else {
      throw UsageError("unknown option " + a);
    }
  }
}

bool CommandLine::has(const std::string& name) const {
  return m_options.count(name) != 0;
}

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
  auto it = m_options.find(name);
  return it == m_options.end() ? fallback : it->second;
}

long CommandLine::number(const std::string& name, long fallback, long min, long max) const {
  if (!has(name))
    return fallback;
  const std::string text = value(name);
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < min || v > max)
    throw UsageError("--" + name + " wants a number from " + std::to_string(min) + " to " +
                     std::to_string(max));
  return v;
}

std::string extensionOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return "";
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

} // namespace cli
