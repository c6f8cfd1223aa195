#pragma once

#include <string>

#include "IControl.h"

namespace umbra::ui {

// The text field of value prompts, drawn by the canvas over the control being edited. While it
// is open it takes every key and mouse event: typing (limited to the field's length and, for a
// parameter, to the characters its values are written with), the caret keys and Backspace;
// Return or a click outside commits through SetControlValueAfterTextEdit, Escape cancels.
class ITextEntryControl : public IControl {
public:
  ITextEntryControl();

  // paramIdx decides the characters allowed: digits and signs for boolean, integer and
  // enumerated parameters, with the decimal point for the rest; any printable character without
  // a parameter. str is the starting text, the caret after it.
  void CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                       const char* str);
  bool IsEditing() const { return mEditing; }
  const std::string& GetEditStr() const { return mEditStr; }
  int GetCaret() const { return mCaret; }

  void CommitEdit();
  void CancelEdit();

  void Draw(ICanvas& g) override;
  // Outside the field: the field loses the focus, which commits.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  bool CharAllowed(char c) const;
  // Closes the field; the text stays for the caller.
  void EndEdit();

  std::string mEditStr;
  std::string mAllowed; // empty: any printable character
  int mCaret = 0;
  int mLength = 7;
  bool mEditing = false;
};

} // namespace umbra::ui
