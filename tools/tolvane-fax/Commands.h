#pragma once
// The tolvane-fax commands. Each takes the arguments after its name, raises
// cli::UsageError for command-line mistakes and the EFxException family (or
// another std::exception) for failures, and returns the exit code.

#include <string>
#include <vector>

namespace cli {

int convertCommand(const std::vector<std::string>& args);
int infoCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);
int sendCommand(const std::vector<std::string>& args);
int receiveCommand(const std::vector<std::string>& args);
int ocrCommand(const std::vector<std::string>& args);
int searchCommand(const std::vector<std::string>& args);
int printQueueCommand(const std::vector<std::string>& args);

} // namespace cli
