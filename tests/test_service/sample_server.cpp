// SampleServer.exe: the test service standing in for a database server in ./run.sh's sample
// set-up (copied as dbsrv17.exe and dbeng17.exe): the real server's options are passed over.
#include "tests/test_service/test_service_core.h"

int main() { return RunTestService(true); }
