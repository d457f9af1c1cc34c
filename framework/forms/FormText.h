#pragma once

#include "framework/forms/FormModel.h"

#include <string>

// The readable source of a form description, one file per form:
//
//   # a comment
//   Form1 : TForm1 {
//       Caption = "Form1"        text, with \" and \\ inside
//       Left = 192               a whole number
//       Color = clBtnFace        a name
//       OldCreateOrder = false   true or false
//       Font.Style = []          a set of names: [fsBold, fsItalic]
//       Button1 : TButton {      a child object
//           OnClick = Button1Click
//       }
//   }
//
// Raises Exception naming the line of the first error.
FormObject ParseFormText(const std::string& text);
