#pragma once
// Resource and control ids of Courier.dll (courier.rc).

#define IDD_UPLOAD 9000
#define IDI_COURIER 9001

#define IDC_FILE_BAR 9000    // progress bar: files done, range 0..number of files
#define IDC_BYTE_BAR 9001    // progress bar: percent of the current upload
#define IDC_FILE_LINE 9002   // the file being sent, then its byte progress
#define IDC_STATUS 9004      // file counter, net check texts, summary
#define IDC_LABEL 9005       // never changed
#define IDC_CANCEL_RUN 9006  // the Cancel button (IDOK is the Ok button)
