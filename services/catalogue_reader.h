// A full refresh of the catalogue read on a worker thread: a catalogue of its own, with its own
// connection to the SCM and the settings of the catalogue it stands in for, that no other
// thread touches until the read has ended. The GUI thread waits for DoneEvent while it goes on
// answering, then takes the records over (TSCManager::TakeRecords).
//
// Usage:
//   TCatalogueReader reader(manager);                   // the thread starts reading at once
//   ... wait for reader.DoneEvent(), processing messages ...
//   manager.TakeRecords(reader.Result());               // raises the read's error
// Ending the reader before the read is done asks it to stop between two records and waits.
#pragma once

#include "common/handle.h"
#include "services/sc_manager.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

class TCatalogueReader {
public:
    // filter: which records are read (TSCManager::ReadWhen); none: all. connect: a catalogue
    // that nobody else touches meanwhile, whose own connection is made on the reader's thread
    // once the read has succeeded (to another computer, a round trip the GUI thread would
    // otherwise wait for); its failure is the read's. done: called on the reader's thread once
    // the read has ended (after DoneEvent is set); null: nobody is told.
    explicit TCatalogueReader(const TSCManager& like, TSCManager::TReadFilter filter = nullptr,
                              TSCManager* connect = nullptr, std::function<void()> done = nullptr);
    ~TCatalogueReader();
    TCatalogueReader(const TCatalogueReader&) = delete;
    TCatalogueReader& operator=(const TCatalogueReader&) = delete;

    // Signalled once the read has ended, well or not.
    HANDLE DoneEvent() const { return FDone.get(); }
    bool Done() const { return WaitForSingleObject(FDone.get(), 0) == WAIT_OBJECT_0; }
    // Asks the read to stop after the record it reads now.
    void Stop() { FStop = true; }
    // Once done: the catalogue read, or the read's error raised again.
    TSCManager& Result();

    // The readers' threads that have not ended, those of readers left to the process's end
    // included (a test waits for 0 before its simulated manager goes).
    static int RunningCount();

private:
    void Read() noexcept;

    std::unique_ptr<TSCManager> FCatalogue;
    TSCManager* FConnect;
    std::function<void()> FOnDone;
    std::exception_ptr FError;
    std::atomic<bool> FStop{false};
    UniqueKernelHandle FDone;
    std::thread FThread;
};
