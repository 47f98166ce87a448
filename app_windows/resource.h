// The identifiers of the native window's resources.
#pragma once

#define IDI_APP 1
#define IDD_FORM1 100
#define IDB_LOGO 200

#define IDC_LABEL1 1001
#define IDC_PORT 1002
#define IDC_LABEL2 1003
#define IDC_FREQUENCY 1004
#define IDC_RESETDELAY 1005
#define IDC_CORVANE 1006
#define IDC_SMARTMOUSE 1007
#define IDC_PROGRESS 1008
#define IDC_STATUS 1009
#define IDC_IMAGE 1010
#define IDC_LINK 1011
