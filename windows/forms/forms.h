// The four installer windows and their global names. Each name always means
// the window's single current instance; its variables outlive an Unload.
#pragma once

#include <cstdint>

#include "engine/installation.h"
#include "windows/runtime/form.h"

namespace glyphary::windows {

// Splash backdrop; every resize shows the agreement window.
class SplashWindow : public Form {
 public:
  SplashWindow();

 protected:
  Error Form_Resize() override;
};

// Licence agreement: "Cancel" ends the program, "Accept" installs.
class AgreementWindow : public Form {
 public:
  AgreementWindow();

 protected:
  Error Click(int id) override;
};

// Progress: loading it runs the installation; taking the focus hands over
// to the finish window.
class ProgressWindow : public Form {
 public:
  ProgressWindow();

 protected:
  Error Form_Load() override;
  Error Form_GotFocus() override;

 private:
  engine::InstallationState state_;  // Fso and TargetFolder
};

// Finish: "Restart Computer" and "Finish".
class FinishWindow : public Form {
 public:
  FinishWindow();

 protected:
  Error Form_Load() override;
  Error Click(int id) override;

 private:
  std::int32_t IsNT = 0;
};

extern SplashWindow Form1;
extern AgreementWindow Form2;
extern ProgressWindow Form3;
extern FinishWindow Form4;

}  // namespace glyphary::windows
