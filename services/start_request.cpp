#include "services/start_request.h"

#include "common/errors.h"
#include "common/handle.h"
#include "services/failure_text.h"
#include "services/record_read.h"

#include <exception>
#include <thread>

struct TStartRequest::TState {
    IServiceControlManager* Scm;
    std::wstring MachineName;
    std::wstring DatabaseName;
    std::wstring ServiceName;
    UniqueKernelHandle Done;
    std::exception_ptr Error;
};

TStartRequest::TStartRequest(IServiceControlManager& scm, const std::wstring& machineName,
                             const std::wstring& databaseName, const std::wstring& serviceName)
    : FState(std::make_shared<TState>(TState{&scm, machineName, databaseName, serviceName,
                                             UniqueKernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)), nullptr}))
{
    if (!FState->Done)
        RaiseLastOSError();
    ++FRunningCount;
    try {
        std::thread(&TStartRequest::Run, FState).detach();
    } catch (...) {
        --FRunningCount;
        throw;
    }
}

HANDLE TStartRequest::DoneEvent() const { return FState->Done.get(); }

bool TStartRequest::Done() const { return WaitForSingleObject(FState->Done.get(), 0) == WAIT_OBJECT_0; }

void TStartRequest::Result() const
{
    SM_ASSERT(Done());
    if (FState->Error)
        std::rethrow_exception(FState->Error);
}

void TStartRequest::Run(std::shared_ptr<TState> state) noexcept
{
    try {
        IServiceControlManager& scm = *state->Scm;
        UniqueScHandleOf manager(scm, scm.OpenSCManagerW(state->MachineName.empty() ? nullptr : state->MachineName.c_str(),
                                                          state->DatabaseName.empty() ? nullptr
                                                                                      : state->DatabaseName.c_str(),
                                                          SC_MANAGER_CONNECT));
        if (!manager)
            RaiseLastOSError();
        UniqueScHandleOf service(scm, scm.OpenServiceW(manager.get(), state->ServiceName.c_str(), SERVICE_START));
        if (!service)
            RaiseLastOSError();
        if (!scm.StartServiceW(service.get(), 0, nullptr)) {
            const DWORD error = GetLastError();
            // A missing executable is named: its path is read with a handle of its own.
            std::wstring path;
            if (IsMissingExecutable(error)) {
                const TServiceRecordData data = ReadServiceRecord(scm, manager.get(), state->ServiceName, false, false);
                if (data.Config)
                    path = data.Config->FileName;
            }
            throw EOSError(error, ExecutablePathAddition(error, path));
        }
    } catch (...) {
        state->Error = std::current_exception();
    }
    --FRunningCount;
    SetEvent(state->Done.get());
}
