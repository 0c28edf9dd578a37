/* The product's names as the resource script and the C++ code both take
   them: plain macros, which the resource compiler understands too. */
#pragma once

#define GLYPHARY_PRODUCT_NAME "Glyphary Installer"
#define GLYPHARY_PUBLISHER "Quillfern Software"
#define GLYPHARY_EXE_NAME "GlypharyInstaller.exe"
/* The Windows Installer package's upgrade code, the same for every version. */
#define GLYPHARY_UPGRADE_CODE "2C7E94B0-5A13-4F6D-9B8E-41D0C3A7F256"
