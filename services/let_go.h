// Lets an object go on a thread of its own: what its destructor closes may be a handle of a
// computer that hangs, and the GUI thread never waits for one. The object may need nothing but
// what outlives every such thread (the manager's interface: the program's lives until the
// process ends; a test waits for LetGoRunningCount() to fall to 0 before its simulated one goes).
//
// Usage:
//   LetGoAlone(std::move(oldManager));   // a std::unique_ptr<TSCManager> of a computer left
#pragma once

#include <memory>

void LetGoAlone(std::shared_ptr<void> object);

// Objects being let go that are not gone yet.
int LetGoRunningCount();
