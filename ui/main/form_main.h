// The main window: the list of the ERP's services with their state and description.
#pragma once

#include "common/window.h"

class TFormMain : public TWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormMain";
    static constexpr int DesignClientWidth = 581;
    static constexpr int DesignClientHeight = 254;

    TFormMain();
    ~TFormMain() override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;
};
