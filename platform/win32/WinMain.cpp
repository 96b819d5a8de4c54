// Horofu.exe's entry: brings up the console, chooses the thread and the page, converts,
// tells the user how it went and ends the process.
#include <windows.h>

#include "app/ConversionStop.h"
#include "app/Messages.h"
#include "app/StartupPaths.h"
#include "console/Console.h"
#include "converter/ConvertIntoPlace.h"
#include "platform/win32/ConsoleWindow.h"
#include "platform/win32/FileDialogs.h"
#include "platform/win32/SiteDrop.h"

namespace horofu {
namespace {

// Echoes every record on the console and stops when the console closes.
class ConsoleListener : public ConversionListener {
  public:
    explicit ConsoleListener(ConversionStop& stop) : stop_(stop) {}
    bool WantsEcho() const override { return true; }
    void Echo(const Text& line) override { ConsolePrint(line); }
    bool StopRequested() override { return stop_.StopRequested(); }

  private:
    ConversionStop& stop_;
};

// The message for a conversion that failed, and whether the path to show with it is the
// input's or the page's; null for one that did not fail. Called by Run after the conversion.
const char* FailureMessage(ConversionOutcome outcome, bool& aboutInput) {
    aboutInput = false;
    switch (outcome) {
        case ConversionOutcome::InputNotOpened:
            aboutInput = true;
            return message::kInputNotOpened;
        case ConversionOutcome::ReadFailed:
            aboutInput = true;
            return message::kReadFailed;
        case ConversionOutcome::OutputNotCreated:
            return message::kOutputNotCreated;
        case ConversionOutcome::WriteFailed:
            return message::kWriteFailed;
        case ConversionOutcome::SameAsInput:
            return message::kSameAsInput;
        case ConversionOutcome::OutputExists:
            return message::kOutputExists;
        case ConversionOutcome::OutOfMemory:
            aboutInput = true;
            return message::kOutOfMemory;
        case ConversionOutcome::ThreadChanged:
            aboutInput = true;
            return message::kThreadChanged;
        case ConversionOutcome::Unexpected:
            aboutInput = true;
            return message::kUnexpected;
        case ConversionOutcome::Done:
        case ConversionOutcome::Stopped:
            return nullptr;
    }
    return nullptr;
}

// A message box with the program's title, owned by the console; returns when the user has
// dismissed it. Called by Run for the refusal, a failure and the completion; owner is null
// only when there is no console.
void Tell(HWND owner, const Text& text) {
    MessageBoxA(owner, text.Data(), message::kTitle, MB_OK);
}

// The whole run, in order: console, title, input from the command line or the open dialog
// (a folder goes to RunSiteDrop), the extension check, the save dialog and its type (which page),
// the conversion with its echo, the outcome told. Ends the process with 0, or with 1 after a
// failure has been told. Called by WinMain.
[[noreturn]] void Run() {
    if (!StartConsole()) {
        // Without its window the program could neither echo nor be stopped by the user.
        Tell(nullptr, Text(message::kConsoleNotCreated));
        ExitProcess(1);
    }
    const HWND owner = ConsoleWindowHandle();
    ConversionStop stop;
    SetConsoleTitle(Text(message::kTitle));
    // The user closed the window: a running conversion stops and removes its temporary file
    // before the console thread ends the process; the old page stays as it was.
    SetConsoleClosedHandler([&stop] { stop.RequestStopAndWait(); });

    Text candidate = InputCandidate(Text(GetCommandLineA()));
    if (AsksForInput(candidate)) {
        candidate = ChooseOpenFile(owner, Text(kOpenDialogTypes), Text("*.txt"),
                                   Text(message::kChooseInputTitle));
        if (candidate.Empty()) ExitProcess(0);
    }
    const Text input = InputPath(candidate);
    // A folder dropped onto the program becomes a site of its threads.
    if (IsFolderPath(input)) RunSiteDrop(owner, input);
    if (!IsThreadFilePath(input)) {
        Tell(owner, Text(message::kNotTextFile));
        ExitProcess(0);
    }
    // A .txt thread starts from the classic page, so Enter alone gives it as ever; a .dat
    // thread starts from the modern one.
    uint32_t saveType = ProposedSaveType(input);
    const Text output = ChooseSaveFile(owner, Text(kSaveDialogTypes), ProposedOutputPath(input),
                                       Text(message::kChooseOutputTitle), saveType);
    if (output.Empty()) ExitProcess(0);
    PageOptions options;
    options.kind = PageKindOfSaveType(saveType, input);
    options.title = input;  // the modern page's title, and a .dat read as one

    if (!stop.BeginConversion()) ExitProcess(0);  // the console is already closing
    ConsoleListener listener(stop);
    // The save dialog has asked before an existing page is chosen.
    const ConversionResult result = ConvertIntoPlace(input, output, listener, options, true);
    stop.EndConversion();
    if (result.outcome == ConversionOutcome::Stopped || stop.StopRequested()) ExitProcess(0);

    bool aboutInput = false;
    if (const char* failure = FailureMessage(result.outcome, aboutInput)) {
        Tell(owner, Text(failure) + Text("\r\n") + (aboutInput ? input : output));
        ExitProcess(1);
    }
    Tell(owner, Text(message::kDone));
    ExitProcess(0);
}

}  // namespace
}  // namespace horofu

// Windows calls this once; the process always ends inside it, through ExitProcess.
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    horofu::Run();
}
