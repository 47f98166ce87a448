// The identifiers of the native window's resources; its controls' are the
// form's (form_description.h).
#pragma once

#define IDI_APP 1
#define IDD_FORM1 100
#define IDB_LOGO 200
