// What a screen reader reads of the controls of the skinned pages. Every control CBaseDlg makes
// answers WM_GETOBJECT (OBJID_CLIENT) with the system's standard object for its window (name:
// the window text, which is a skinned button's caption; place, parent, focus, enabled state),
// giving the role, states and default action that its look stands for:
//   kButton, kLargeButton  ROLE_SYSTEM_PUSHBUTTON, "Press"
//   kNavButton             ROLE_SYSTEM_PAGETAB, selectable, selected while its page is shown;
//                          "Switch"
//   kLink                  ROLE_SYSTEM_LINK, linked; "Jump"
//   kCheck                 ROLE_SYSTEM_CHECKBUTTON, checked as the box is; "Check" or "UnCheck";
//                          named by the label that follows it (the box shows only its square)
//   kLabel                 ROLE_SYSTEM_STATICTEXT, read-only; no action
//   kPicture               ROLE_SYSTEM_GRAPHIC, read-only; no action
// The skinned buttons and links are owner-drawn push buttons, which the standard object cannot
// tell apart by their style; under Wine it gives every button and static ROLE_SYSTEM_CLIENT and
// no check state. The default action clicks the control (BM_CLICK, posted) as the system's does
// for its buttons. After the control has gone its object answers CO_E_OBJNOTCONNECTED.
// The same subclass gives the keyboard what the look needs: Enter presses a skinned button, tab
// or link that has the focus (as Space does), and a skinned check box shows the keyboard focus
// as a dotted frame round its square (its text, round which the system draws the frame, is out
// of sight).
#pragma once

#include <windows.h>

#include "ui/win32/framework.h"

namespace qv::ui {

// Gives the control (made by CBaseDlg::AddControl with the look) its accessible object until
// the control is destroyed.
void AttachSkinAccessible(HWND control, CONTROL_LOOK look);
// A navigation or tab button was selected or deselected: its state follows, and screen readers
// are told (EVENT_OBJECT_STATECHANGE) when it changed.
void SetSkinAccessibleSelected(HWND control, bool selected);

}  // namespace qv::ui
