// TestService.exe: the test service with its options checked (see test_service_core.cpp).
#include "tests/test_service/test_service_core.h"

int main() { return RunTestService(false); }
