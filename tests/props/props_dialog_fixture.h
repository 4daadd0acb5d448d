// The fixture of the properties dialog's tests: the application with a main form in the
// background (so that a dialog's end does not end the application), the dialog made and loaded
// for a service or a new one, shown modally with steps run from a timer, and small readers of
// its controls. FormPropsTest adds the simulated manager with a database server and an
// application server that depends on it, and the user's settings on a scratch key.
#pragma once

#include "services/sc_manager.h"
#include "tests/sim_scm/sim_accounts.h"
#include "tests/sim_scm/sim_scm.h"
#include "tests/support/scratch_current_user.h"
#include "ui/base/window.h"
#include "ui/props/form_props.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

std::wstring Text(HWND wnd);
bool Checked(HWND wnd);
bool Enabled(HWND wnd);
void Click(HWND wnd);
std::wstring ComboItem(HWND combo, int index);
// The selected entry's text, or "(none selected)".
std::wstring ComboSelection(HWND combo);

// Steps run one timer tick apart (SetTimer(nullptr, 0, 25, &TScript::Tick)) while a modal
// window of this thread is shown; after twenty seconds every dialog of the properties is
// closed and the test fails. A step that finds its window not shown yet runs again at the next
// tick after --TScript::Next.
struct TScript {
    static inline std::vector<std::function<void()>> Steps;
    static inline size_t Next = 0;
    static inline int Ticks = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
};

class PropsDialogTest : public testing::Test {
protected:
    using Step = std::function<void()>;

    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // Creates and loads the dialog for the service (null: a new one of kind).
    TFormProps& Open(TSCManager& catalogue, TNtService* service, TExeType kind = etUnknown);
    // Shows the dialog modally and runs the steps one timer tick apart; a dialog still open after
    // twenty seconds is cancelled and the test fails. The dialog's result.
    int Show(std::vector<Step> steps);
    HWND Item(int id) const { return Form->Item(id); }
    void Cancel() { PostMessageW(Form->Handle(), WM_COMMAND, IDCANCEL, 0); }

    std::unique_ptr<TFormProps> Form;

private:
    static inline std::unique_ptr<TWindow> Background;
};

// Where the dialog keeps its size, under the settings key.
inline constexpr const wchar_t* LayoutSection = L"Software\\Talvora\\Orvessa\\FormProps";

class FormPropsTest : public PropsDialogTest {
protected:
    FormPropsTest();
    ~FormPropsTest() override;

    // TalvoraApp, an application server that depends on the database, as it was at the start.
    void ResetApp();
    // The catalogue over the simulated manager, read when first asked for.
    TSCManager& Catalogue();
    TNtService* Record(const std::wstring& name);
    using PropsDialogTest::Open;
    // The dialog asks the simulated computer's accounts.
    TFormProps& Open(TNtService* service, TExeType kind = etUnknown)
    {
        TFormProps& form = Open(Catalogue(), service, kind);
        form.SetAccountRights(Rights);
        return form;
    }

    // The dialog's outer size, as the user drags its frame to it, and as it is; the size stored
    // under "FormProps" and its text.
    void Resize(SIZE size);
    SIZE OuterSize() const;
    static std::wstring FormatSize(SIZE size);
    static std::optional<std::wstring> StoredSize();

    // The settings the dialog reads and writes (the remembered kind, the folder history, its
    // size) start empty for every test and go with it.
    TScratchCurrentUser User;
    TSimServiceControlManager Sim;
    TSimAccountRights Rights{Sim};  // the simulated computer's accounts
    std::unique_ptr<TSCManager> FCatalogue;
};
