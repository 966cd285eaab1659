#include "topology/KernelMessages.h"

#include <mutex>

#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>

#include "misc/Utilities.h"

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
