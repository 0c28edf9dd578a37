/* The product's names as the resource script and the C++ code both take
   them: plain macros, which the resource compiler understands too. */
#pragma once

#define GLYPHARY_PRODUCT_NAME "Glyphary Installer"
#define GLYPHARY_PUBLISHER "Quillfern Software"
#define GLYPHARY_EXE_NAME "GlypharyInstaller.exe"
