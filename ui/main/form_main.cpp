#include "ui/main/form_main.h"

#include "common/application.h"

TFormMain::TFormMain()
{
    CreateForm({.ClassName = ClassName,
                .Caption = L"Talvora ERP Service Manager",
                .ClientWidth = DesignClientWidth,
                .ClientHeight = DesignClientHeight,
                .Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                .ExStyle = WS_EX_APPWINDOW});
}

TFormMain::~TFormMain() = default;

void TFormMain::FormShow() { CentreOnScreen(Handle()); }

LRESULT TFormMain::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) { return TWindow::WndProc(msg, wParam, lParam); }
