// Identifiers of the program's own resources (res/resources.cpp holds their content).
#pragma once

#define IDD_VANTRACE21_DIALOG 102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128
#define IDC_STATIC (-1)
