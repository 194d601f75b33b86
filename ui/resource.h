// Resource identifiers of the setup: icon, dialog templates, controls and the
// message catalogue. Shared by the C++ code and the resource script.
#pragma once

#define IDI_APP 128            // application icon (group of 37 images)
#define IDD_LANGUAGE 129       // language selection dialog
#define IDD_PROGRESS 1101      // progress window

// Controls of the progress window.
#define IDC_APP_ICON 101
#define IDC_HEADLINE 103
#define IDC_PROGRESS 104
#define IDC_DETAIL 105

// Controls of the language dialog.
#define IDC_LANGUAGE_LIST 1000
#define IDC_LANGUAGE_LABEL 1001  // names the list, also for a screen reader

// Message catalogue. Every ID exists in all four languages.
#define MSG_OUT_OF_MEMORY 12
#define MSG_PACKAGE_NOT_FOUND 13
#define MSG_MISSING_TEXT 15
#define MSG_PLEASE_WAIT 16
#define MSG_THE_PRODUCT 17
#define MSG_DOWNLOADING_PACKAGE 18
#define MSG_VERIFYING_SIGNATURE 19
#define MSG_ASK_INSTALL 20
#define MSG_NO_SIGNATURES 21
#define MSG_NOT_TRUSTED 22
#define MSG_INVALID_PATH 23
#define MSG_CANCELLED 24
#define MSG_INVALID_MSI_VERSION 25
#define MSG_ADMIN_REQUIRED 26
#define MSG_DOWNLOADING_ENGINE 27
#define MSG_ENGINE_NOT_FOUND 28
#define MSG_ENGINE_UPGRADE_FAILED 29
#define MSG_RESTART 30
#define MSG_ENGINE_INVALID 31
#define MSG_INSTALLER_ERROR 32
#define MSG_ENGINE_TOO_OLD 33
#define MSG_BAD_OPERATION 34
#define MSG_NO_PACKAGE_FOR_SYSTEM 36
#define MSG_USAGE 37
#define MSG_DOWNLOAD_RETRY 38
#define MSG_ERROR_CODE 39
#define MSG_APP_TITLE 57344    // 0xE000, the application title
