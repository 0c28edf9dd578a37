#include "windows/forms/descriptions.h"

#include "windows/resource_ids.h"

namespace glyphary::windows {

namespace {

constexpr const wchar_t* kTitle = L"Glyphary Installer";

Font TitleFont() {
  Font font;
  font.face = L"Impact";
  font.points = 48;
  font.weight = 700;
  font.italic = true;
  return font;
}

ControlDescription Control(ControlKind kind, const wchar_t* name, int id, const wchar_t* text,
                           Box box, int tab) {
  ControlDescription c;
  c.name = name;
  c.kind = kind;
  c.id = id;
  c.text = text;
  c.box = box;
  c.tab_index = tab;
  return c;
}

ControlDescription Label(const wchar_t* name, int id, const wchar_t* text, Box box, int tab) {
  return Control(ControlKind::kLabel, name, id, text, box, tab);
}

ControlDescription Button(const wchar_t* name, int id, const wchar_t* text, Box box, int tab) {
  return Control(ControlKind::kCommandButton, name, id, text, box, tab);
}

ControlDescription Frame(int id, Box box, int tab) {
  return Control(ControlKind::kFrame, L"Frame1", id, L"", box, tab);
}

FormDescription Dialog(const wchar_t* name, const wchar_t* window_class, Border border,
                       Box client) {
  FormDescription form;
  form.name = name;
  form.window_class = window_class;
  form.caption = L"";
  form.border = border;
  form.client = client;
  form.icon = IDI_DIALOG;
  return form;
}

}  // namespace

FormDescription DescribeForm1() {
  FormDescription form;
  form.name = L"Form1";
  form.window_class = L"Glyphary.Form1";
  form.caption = L"Form1";
  form.border = Border::kNone;
  form.maximized = true;
  form.client = {60, 450, 15360, 5070};
  form.back = Colour::Rgb(128, 128, 255);
  form.icon = IDI_PROGRAM;

  ControlDescription blue = Label(L"Label2", ids::kForm1Label2, kTitle, {3975, 480, 11760, 1575}, 1);
  blue.font = TitleFont();
  blue.fore = Colour::Rgb(0, 0, 192);
  blue.transparent = true;

  ControlDescription shadow = Label(L"Label1", ids::kForm1Label1, kTitle, {4080, 480, 10695, 1575}, 0);
  shadow.font = TitleFont();
  shadow.fore = Colour::System(kColorWindowText);
  shadow.transparent = true;

  ControlDescription picture =
      Control(ControlKind::kImage, L"Image1", ids::kForm1Image1, L"", {0, 0, 3405, 5070}, 0);
  picture.resource = IDB_SPLASH;

  form.controls = {blue, shadow, picture};
  return form;
}

FormDescription DescribeForm2() {
  FormDescription form = Dialog(L"Form2", L"Glyphary.Form2", Border::kFixedSingle, {8865, 4920, 6090, 6270});

  ControlDescription text =
      Control(ControlKind::kTextBox, L"Text1", ids::kForm2Text1, L"", {120, 120, 5775, 5415}, 0);
  text.multi_line = true;
  text.vertical_scroll = true;
  text.read_only = true;
  text.resource = IDR_AGREEMENT;

  form.controls = {
      Button(L"Command2", ids::kForm2Command2, L"Accept", {360, 5640, 1215, 495}, 2),
      Button(L"Command1", ids::kForm2Command1, L"Cancel", {4320, 5640, 1215, 495}, 1),
      text,
  };
  return form;
}

FormDescription DescribeForm3() {
  FormDescription form = Dialog(L"Form3", L"Glyphary.Form3", Border::kFixedSingle, {4290, 4920, 5670, 1080});

  ControlDescription status = Label(L"intf", ids::kForm3Intf, L"Creating Folders...",
                                    {120, 120, 4695, 495}, 1);
  status.container = 0;
  status.font.points = 18;

  form.controls = {Frame(ids::kForm3Frame1, {360, 120, 4935, 735}, 0), status};
  return form;
}

FormDescription DescribeForm4() {
  FormDescription form = Dialog(L"Form4", L"Glyphary.Form4", Border::kSizable, {0, 0, 5895, 2145});
  form.min_button = true;
  form.max_button = true;
  form.default_position = true;

  ControlDescription message = Label(
      L"Label1", ids::kForm4Label1,
      L"In order for the changes to take affect you must restart your computer.",
      {120, 120, 4935, 255}, 2);
  message.container = 1;

  ControlDescription restart = Control(ControlKind::kCheckBox, L"chk", ids::kForm4Chk,
                                       L"Restart Computer", {720, 960, 1575, 195}, 0);
  restart.value = 1;

  form.controls = {
      Button(L"Command1", ids::kForm4Command1, L"Finish", {2280, 1560, 1215, 375}, 3),
      Frame(ids::kForm4Frame1, {360, 120, 5175, 495}, 1),
      message,
      restart,
  };
  return form;
}

}  // namespace glyphary::windows
