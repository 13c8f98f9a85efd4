#pragma once

#include <stdexcept>
#include <string>

namespace vexlo {

// Numbers of the failures the program reports. The file and automation numbers keep the values
// users of the earlier desktop tool know from its messages.
namespace errc {
constexpr int FileNotFound = 53;
constexpr int FileAlreadyOpen = 55;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int ToolNotRunning = 429;
constexpr int ToolCallFailed = 440;
constexpr int NoActiveDocument = 1001;
constexpr int BadDesignName = 1002;
constexpr int BadDocumentPath = 1003;
constexpr int KeyNotInColumns = 1004;
constexpr int ViewerNotStarted = 1005;
constexpr int BadTemplate = 1006;
constexpr int BadStartRow = 1007;
constexpr int WorkbookTooLarge = 1008;
constexpr int SelectionNotSavable = 1009;
constexpr int NoSessionBus = 1010;
constexpr int NameLeavesFolder = 1011;
constexpr int NoWriterForFormat = 1012;
constexpr int SelectionGone = 1013;
constexpr int BadReportName = 1014;
constexpr int DesignTooLarge = 1015;
constexpr int BadDesignFile = 1016;
constexpr int NoReportColumns = 1017;
constexpr int NoQuantityColumn = 1018;
constexpr int QuantityAsKey = 1019;
}  // namespace errc

// The one failure type of the program: thrown in the core, caught where the user is told.
class Error : public std::runtime_error {
public:
    Error(int number, const std::string& description)
        : std::runtime_error(description), number(number), description(description) {}

    int number;
    std::string description;
};

// "Error N: description", as message boxes and the command line show a failure.
std::string errorMessage(const Error& error);

// Any exception as an Error; foreign ones get a number that says "internal".
Error asError(const std::exception& failure);

}  // namespace vexlo
