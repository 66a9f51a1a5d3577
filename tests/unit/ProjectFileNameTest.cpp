#include <gtest/gtest.h>

#include <string>

#include "app/ProjectFileName.h"

TEST(MayNameProjectFile, DevicesPipesAndDeviceNamespacesNever) {
  for (const char* name : {"",
                           "CON",
                           "con",
                           "PRN",
                           "AUX",
                           "NUL",
                           "nul:",
                           "NUL::",
                           "COM1",
                           "com9",
                           "COM0",
                           "LPT1",
                           "lpt3",
                           "COM\xB9",
                           "LPT\xB2",
                           "CONIN$",
                           "conout$",
                           "C:\\Sites\\COM1.kvp",
                           "C:\\Sites\\nul.txt",
                           "C:\\x\\aux .kvp",
                           "C:\\x\\CON :stream",
                           "C:NUL",
                           "D:lpt1.kvp",
                           "C:/Sites/com2.kvp",
                           "\\\\.\\pipe\\x",
                           "\\\\.\\COM1",
                           "\\\\?\\C:\\Sites\\p.kvp",
                           "//./pipe/x",
                           "\\\\host\\pipe\\x",
                           "\\\\host\\PIPE",
                           "\\\\host\\mailslot\\m",
                           "\\??\\C:\\p.kvp"}) {
    EXPECT_FALSE(MayNameProjectFile(name)) << name;
  }
}

TEST(MayNameProjectFile, OrdinaryNamesEvenCloseToDeviceNames) {
  for (const char* name :
       {"C:\\Sites\\Musee\\musee.kvp", "p.kvp", "C:\\CON\\p.kvp", "C:\\x\\COM10", "C:\\x\\console.kvp",
        "C:\\x\\nullite.kvp", "C:\\x\\COMA", "C:\\x\\LPT", "C:\\x\\COM1x.kvp", "C:\\x\\.nul", "\\\\host\\share\\p.kvp",
        "\\\\host\\pipes\\p.kvp", "C:\\x\\CON$", "C:\\Caf\xE9\\p.kvp"}) {
    EXPECT_TRUE(MayNameProjectFile(name)) << name;
  }
}
