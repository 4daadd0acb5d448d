#include "tests/props/props_dialog_fixture.h"

#include "common/format.h"
#include "common/registry.h"
#include "ui/base/application.h"
#include "ui/props/form_password.h"

#include <commctrl.h>

namespace {
// The services the tests over the simulated manager edit. Their "Parameters" live in the real
// registry, under service keys the fixture makes (a value is written only under a service's
// existing key).
constexpr const wchar_t* EditedServices[] = {L"form_props_gui_test", L"TalvoraApp"};

std::wstring ServiceKey(const wchar_t* name) { return std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name; }

class TBackgroundForm : public TWindow {
public:
    TBackgroundForm()
    {
        CreateForm({.ClassName = L"TPropsDialogTestMain", .Caption = L"main", .ClientWidth = 100, .ClientHeight = 100});
    }
};

}  // namespace

void CALLBACK TScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (++Ticks > 800) {
        if (Ticks == 801)
            ADD_FAILURE() << "dialog still open after " << Next << " of " << Steps.size() << " steps";
        for (const wchar_t* cls : {TFormPassword::ClassName, TFormProps::ClassName})
            if (HWND open = FindWindowW(cls, nullptr))
                PostMessageW(open, WM_CLOSE, 0, 0);
        return;
    }
    if (Next < Steps.size())
        Steps[Next++]();
}

std::wstring Text(HWND wnd) { return WindowText(wnd); }
bool Checked(HWND wnd) { return SendMessageW(wnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Enabled(HWND wnd) { return IsWindowEnabled(wnd) != FALSE; }
void Click(HWND wnd) { SendMessageW(wnd, BM_CLICK, 0, 0); }

std::wstring ComboItem(HWND combo, int index)
{
    std::wstring text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
}

std::wstring ComboSelection(HWND combo)
{
    const int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    return index < 0 ? L"(none selected)" : ComboItem(combo, index);
}

void PropsDialogTest::SetUpTestSuite()
{
    Application().Initialize();
    Background = std::make_unique<TBackgroundForm>();
}

void PropsDialogTest::TearDownTestSuite() { Background.reset(); }

TFormProps& PropsDialogTest::Open(TSCManager& catalogue, TNtService* service, TExeType kind)
{
    Form = std::make_unique<TFormProps>(catalogue, service, kind);
    Form->LoadService();
    return *Form;
}

int PropsDialogTest::Show(std::vector<Step> steps)
{
    TScript::Steps = std::move(steps);
    TScript::Next = 0;
    TScript::Ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, &TScript::Tick);
    int result = Form->ShowModal();
    KillTimer(nullptr, timer);
    EXPECT_EQ(TScript::Next, TScript::Steps.size()) << "steps left undone";
    return result;
}

FormPropsTest::FormPropsTest()
{
    TSimService db = SimService(L"SQLANYs_Db");
    db.BinaryPath = L"\"C:\\SA17\\Bin64\\dbsrv17.exe\" -n erpdb";
    Sim.AddService(db);
    Sim.AddAccount(L".\\svcuser");
    for (const wchar_t* name : EditedServices) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    ResetApp();
}

FormPropsTest::~FormPropsTest()
{
    Form.reset();
    for (const wchar_t* name : EditedServices)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str());
}

void FormPropsTest::ResetApp()
{
    FCatalogue.reset();
    if (Sim.Exists(L"TalvoraApp"))
        Sim.RemoveService(L"TalvoraApp");
    TSimService app = SimService(L"TalvoraApp", {L"SQLANYs_Db"});
    app.BinaryPath = L"C:\\ERP\\t32appsrv.exe /service";
    Sim.AddService(app);
}

TSCManager& FormPropsTest::Catalogue()
{
    if (!FCatalogue) {
        FCatalogue = std::make_unique<TSCManager>(L"", SC_MANAGER_ALL_ACCESS, L"ServicesActive", Sim);
        FCatalogue->Refresh(true);
    }
    return *FCatalogue;
}

TNtService* FormPropsTest::Record(const std::wstring& name)
{
    TNtService* service = nullptr;
    EXPECT_TRUE(Catalogue().FindService(name, service));
    return service;
}

void FormPropsTest::Resize(SIZE size)
{
    SetWindowPos(Form->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
}

SIZE FormPropsTest::OuterSize() const
{
    RECT r{};
    GetWindowRect(Form->Handle(), &r);
    return {r.right - r.left, r.bottom - r.top};
}

std::wstring FormPropsTest::FormatSize(SIZE size) { return Fmt(L"%d,%d", {size.cx, size.cy}); }

std::optional<std::wstring> FormPropsTest::StoredSize() { return ReadRegText(HKEY_CURRENT_USER, LayoutSection, L"Size"); }
