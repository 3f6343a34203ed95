/* Resource ids shared by the resource script and the program. */
#ifndef NUVARINE_RESOURCES_RESOURCE_H
#define NUVARINE_RESOURCES_RESOURCE_H

#define IDR_MAINFRAME 128
#define IDD_MAINDLG 129

/* "Browse..." beside each source-folder field: the folder picker for it. */
#define IDC_BROWSE1 1001
#define IDC_BROWSE2 1003
#define IDC_BROWSE3 1009
#define IDC_BROWSE4 1011
#define IDC_BROWSE5 1013

/* The message box that shows the operation log. */
#define IDC_MESSAGES 1004

/* Source folders 1 to 5. */
#define IDC_SRCDIR1 1100
#define IDC_SRCDIR2 1101
#define IDC_SRCDIR3 1102
#define IDC_SRCDIR4 1103
#define IDC_SRCDIR5 1104

#endif
