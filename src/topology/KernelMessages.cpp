#include "topology/KernelMessages.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>

bool consoleMayColour()
{
    return ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
}

void configureKernelMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const bool colours = consoleMayColour();
        for (const Handle(Message_Printer) & printer : Message::DefaultMessenger()->Printers()) {
            if (auto stream = Handle(Message_PrinterOStream)::DownCast(printer)) {
                stream->SetToColorize(colours);
            }
        }
    });
}
