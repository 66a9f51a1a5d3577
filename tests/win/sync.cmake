# The change signal in one process and across processes (the test programs
# start themselves again as child parties), and its stress run. Each test uses
# base names of its own, so these run beside the other programs.
korv_wine_test(sync_tests SOURCES tests/win/SyncTest.cpp tests/win/SyncCrossProcessTest.cpp
  tests/win/SyncHelpers.cpp BENCH c TIMEOUT 180)
korv_wine_test(sync_stress_tests SOURCES tests/win/SyncStressTest.cpp tests/win/SyncHelpers.cpp BENCH c COST 15 TIMEOUT 420)
