// The main window's layout between runs: its size and the service list's column widths.
#include "ui/main/form_main.h"

#include "ui/base/layout.h"

void TFormMain::LoadLayout()
{
    UniqueRegKey settings = OpenLayoutKey();
    // Columns stored beside a size that cannot be used are not used either.
    if (LoadFormSize(*this, settings.get()))
        LoadColumnWidths(List().Handle(), settings.get(), Name());
    CentreOnScreen(Handle());
}

void TFormMain::SaveLayout()
{
    // A key that cannot be written keeps what it held; the window closes all the same.
    UniqueRegKey settings = OpenLayoutKey();
    SaveFormSize(*this, settings.get());
    SaveColumnWidths(List().Handle(), settings.get(), Name());
}
