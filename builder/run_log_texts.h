// The operation log's texts of the build run itself, in one place: its head
// lines, its closing lines and the catch-all's line. Their bytes are what
// users, the dialog and scripts that read the log rely on: a line may be
// added, never reworded.
#pragma once

namespace nv {

constexpr char kRunStart[] = "\r\n";
constexpr char kProcessing[] = "Processing ";  // the folder, or its main.xml, follows
constexpr char kProcessingFolderEnd[] = " ...\r\n";
constexpr char kProcessingManifestEnd[] = " ... ";  // the load's result completes the line

constexpr char kCompleted[] =
    "\r\nProcess completed successfully\r\n"
    "\r\nPlease record down this operation log for future reference (Optional).\r\n";

// Written without a line end: the next run's opening "\r\n" ends the line.
constexpr char kFatalErrorText[] =
    "Unhandled exception: Fatal error, please check the syntax of main.xml and all other files.";

}  // namespace nv
