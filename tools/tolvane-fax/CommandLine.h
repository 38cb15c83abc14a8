#pragma once
// Argument handling shared by the tolvane-fax commands: positional arguments
// and "--name value" / "--flag" options, checked against what a command knows.

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

// A mistake in the command line: printed with the usage text, exit code 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class CommandLine {
public:
  // valued: options that take a value; flags: options that do not.
  CommandLine(const std::vector<std::string>& args, const std::set<std::string>& valued,
              const std::set<std::string>& flags);

  const std::vector<std::string>& positional() const { return m_positional; }
  bool has(const std::string& name) const;
  std::string value(const std::string& name, const std::string& fallback = "") const;
  // A whole number in [min, max]; anything else is a usage error.
  long number(const std::string& name, long fallback, long min, long max) const;

private:
  std::vector<std::string> m_positional;
  std::map<std::string, std::string> m_options;
};

// Lower-case extension without the dot ("" when there is none).
std::string extensionOf(const std::string& path);

} // namespace cli
