# Every test suite, registered with CTest and labelled: `make test` runs them
# all through the suites preset, and one runs by name:
#   ctest --test-dir build/suites -N                 the list
#   ctest --test-dir build/suites -L wine -R stub    the stub suites under Wine
# Each build is a fixture: a suite that needs it has it run first, and is not
# run when it fails. Labels: lint, build, native, wine, i386, gui, sanitizer, fuzz,
# package, reproducible (two builds from scratch compared, about 3.5 minutes;
# `ctest --preset suites -LE reproducible` leaves it out).
enable_testing()
set(KESTRUM_SUITE_DIR ${CMAKE_SOURCE_DIR}/scripts/suites)
set(KESTRUM_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in the fuzz suite")

function(kestrum_suite name)
  cmake_parse_arguments(S "" "TIMEOUT" "COMMAND;LABELS;NEEDS;MAKES" ${ARGN})
  if(NOT S_TIMEOUT)
    set(S_TIMEOUT 1800)
  endif()
  add_test(NAME ${name} COMMAND ${S_COMMAND} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(${name} PROPERTIES LABELS "${S_LABELS}" TIMEOUT ${S_TIMEOUT} RUN_SERIAL ON)
  if(S_NEEDS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${S_NEEDS}")
  endif()
  if(S_MAKES)
    set_tests_properties(${name} PROPERTIES FIXTURES_SETUP "${S_MAKES}")
  endif()
endfunction()

set(D ${KESTRUM_SUITE_DIR})
# The suites written in pytest: the window tests (tests/gui, for one target)
# and the release checks (tests/release).
set(PYTESTS /usr/bin/env PYTHONDONTWRITEBYTECODE=1 pytest-3 -q -p no:cacheprovider)
set(T ${CMAKE_SOURCE_DIR}/tests)
kestrum_suite(lint COMMAND bash ${D}/lint.sh LABELS lint)
kestrum_suite(layers COMMAND python3 ${D}/check-layers.py LABELS lint)
kestrum_suite(native-build COMMAND make -s native LABELS build MAKES native TIMEOUT 3600)
kestrum_suite(native-tests COMMAND bash ${D}/run-tests.sh native LABELS native NEEDS native)
kestrum_suite(win64-build COMMAND make -s win64 LABELS build MAKES win64 TIMEOUT 3600)
kestrum_suite(win64-unit-tests COMMAND bash ${D}/wine-unit-tests.sh win64
              LABELS wine NEEDS win64)
kestrum_suite(win64-stub COMMAND ${PYTESTS} ${T}/gui/test_stub.py --target win64
              LABELS "wine;gui" NEEDS "native;win64")
kestrum_suite(win64-window-extract COMMAND ${PYTESTS} ${T}/gui/test_window_extract.py --target win64
              LABELS "wine;gui" NEEDS "native;win64")
kestrum_suite(win64-command-line COMMAND ${PYTESTS} ${T}/gui/test_command_line.py --target win64
              LABELS "wine;gui" NEEDS "native;win64")
kestrum_suite(win32-build COMMAND bash ${D}/win32-build.sh LABELS build MAKES win32 TIMEOUT 3600)
kestrum_suite(stub-files COMMAND ${PYTESTS} ${T}/release/test_stub_files.py
              LABELS build NEEDS "native;win32;win64")
kestrum_suite(i386-wine COMMAND bash ${D}/i386-wine.sh LABELS "wine;i386" MAKES i386)
kestrum_suite(win32-unit-tests COMMAND bash ${D}/wine-unit-tests.sh win32
              LABELS "wine;i386" NEEDS "win32;i386")
kestrum_suite(win32-stub COMMAND ${PYTESTS} ${T}/gui/test_stub.py --target win32
              LABELS "wine;i386;gui" NEEDS "native;win32;i386")
kestrum_suite(win32-window-extract COMMAND ${PYTESTS} ${T}/gui/test_window_extract.py --target win32
              LABELS "wine;i386;gui" NEEDS "native;win32;i386")
kestrum_suite(win32-command-line COMMAND ${PYTESTS} ${T}/gui/test_command_line.py --target win32
              LABELS "wine;i386;gui" NEEDS "native;win32;i386")
kestrum_suite(windows-tool COMMAND ${PYTESTS} ${T}/release/test_windows_tool.py
              LABELS "wine;i386" NEEDS "native;win64;win32;i386")
kestrum_suite(signed-archives COMMAND ${PYTESTS} ${T}/release/test_signing.py
              LABELS "wine;i386" NEEDS "native;win32;i386")
kestrum_suite(package COMMAND bash ${D}/package.sh LABELS "build;package" NEEDS "native;win64")
kestrum_suite(reproducible-build COMMAND bash ${D}/reproducible-build.sh LABELS reproducible
              NEEDS win32 TIMEOUT 3600)
kestrum_suite(asan COMMAND make -s asan LABELS sanitizer TIMEOUT 3600)
kestrum_suite(tsan COMMAND make -s tsan LABELS sanitizer TIMEOUT 3600)
kestrum_suite(fuzz COMMAND make -s fuzz FUZZ_SECONDS=${KESTRUM_FUZZ_SECONDS}
              LABELS fuzz TIMEOUT 3600)
