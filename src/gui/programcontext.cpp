#include "gui/programcontext.h"

namespace tessaloom::gui {

ProgramContext& Program()
{
    static ProgramContext context;
    return context;
}

} // namespace tessaloom::gui
