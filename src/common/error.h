#pragma once

#include <stdexcept>
#include <string>

namespace vexlo {

// Numbers of the failures the program reports. The file and automation numbers keep the values
// users of the earlier desktop tool know from its messages.
namespace errc {
enum Number : int {
    OutOfMemory = 7,
    InternalError = 51,
    FileNotFound = 53,
    FileAlreadyOpen = 55,
    DiskFull = 61,
    InputPastEnd = 62,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
    ToolNotRunning = 429,
    ToolCallFailed = 440,
    NoActiveDocument = 1001,
    BadDesignName = 1002,
    BadDocumentPath = 1003,
    KeyNotInColumns = 1004,
    ViewerNotStarted = 1005,
    BadTemplate = 1006,
    BadStartRow = 1007,
    WorkbookTooLarge = 1008,
    SelectionNotSavable = 1009,
    NoSessionBus = 1010,
    NameLeavesFolder = 1011,
    NoWriterForFormat = 1012,
    SelectionGone = 1013,
    BadReportName = 1014,
    DesignTooLarge = 1015,
    BadDesignFile = 1016,
    NoReportColumns = 1017,
    NoQuantityColumn = 1018,
    QuantityAsKey = 1019,
    ToolCallAbandoned = 1020,
    // A command line the program does not take: told by its text alone, never by its number.
    BadCommandLine = 1021,
};
}  // namespace errc

// The one failure type of the program: thrown in the core, caught where the user is told. A
// layer that knows where the failure happened (the design file and the place in it) adds that
// as the context; the description stays what failed.
class Error : public std::runtime_error {
public:
    Error(errc::Number number, const std::string& description, const std::string& context = {})
        : std::runtime_error(joined(context, description)),
          number(number),
          description(description),
          context(context) {}

    // The same failure with the context given.
    Error within(const std::string& where) const { return Error(number, description, where); }
    // "context: description", or the description alone; unlike what(), whole past a NUL.
    std::string message() const { return joined(context, description); }

    errc::Number number;
    std::string description;
    std::string context;

private:
    static std::string joined(const std::string& context, const std::string& description) {
        return context.empty() ? description : context + ": " + description;
    }
};

// "Error N: message", as message boxes and the command line show a failure.
std::string errorMessage(const Error& error);

// Any exception as an Error; foreign ones get a number that says "internal".
Error asError(const std::exception& failure);

}  // namespace vexlo
