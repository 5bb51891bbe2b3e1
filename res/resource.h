// Ids shared by the resources and the code.
//
// Ranges: string table texts use 101, 57665..57698, 57710..57713, 57720..57722, 57730..57731, 57740,
// 57750..57754, 57760..57761, 57770..57779 and 57790..57799; dialogs, menus, icons and their controls take their own
// ranges below, one block per window.
#pragma once

// String table.
#define IDS_ABOUTBOX 101
#define IDS_OPTION_CAPTION 57666
#define IDS_ASK_STARTUP 57668
#define IDS_NO_HELP_FILE 57669
#define IDS_DISCONNECT_ERROR 57670
#define IDS_DISCONNECT_MANUAL 57671
#define IDS_DISCONNECT_NOT_ACCEPTABLE 57672
#define IDS_DISCONNECT_DENIED 57673
#define IDS_DISCONNECT_EXTENSION 57674
#define IDS_DISCONNECT_TIME_LIMIT 57675
#define IDS_ASK_TARGET_ACCEPTABLE 57676
#define IDS_ASK_TARGET_DENIED 57677
#define IDS_EXPLORER_FAILED 57678
#define IDS_LOG_SAVE_FAILED 57679
#define IDS_OBJECTS 57680
#define IDS_COL_CLIENT_NAME 57681
#define IDS_COL_USER_NAME 57682
#define IDS_COL_OPENS 57683
#define IDS_COL_START_TIME 57684
#define IDS_COL_CONNECTED_TIME 57685
#define IDS_COL_IDLE_TIME 57686
#define IDS_COL_USER_IDENT 57687
#define IDS_COL_CLIENT_TYPE 57688
#define IDS_COL_PROCESS_ID 57689
#define IDS_COL_OPERATION 57690
#define IDS_COL_LOCKS 57691
#define IDS_COL_PATH_NAME 57692
#define IDS_COL_DISCONNECT_MESSAGE 57693
#define IDS_ALREADY_RUNNING 57695
#define IDS_FOLDER_TOO_LONG 57696
#define IDS_UNEXPECTED_FAULT 57697
// The server's enumerations refused: the first time's message and the tooltip while it lasts.
#define IDS_SERVER_ACCESS_DENIED 57710
#define IDS_SERVER_ERROR 57711
#define IDS_TIP_ACCESS_DENIED 57712
#define IDS_TIP_SERVER_ERROR 57713
// "Close this file": the log's message when it closed, the error text before the code when not.
#define IDS_CLOSE_FILE_MANUAL 57730
#define IDS_CLOSE_FILE_ERROR 57731
#define IDS_MESSAGE_TOO_LONG 57698
// The send-message dialog's status while the command runs and has printed no line yet.
#define IDS_SENDING_MESSAGE 57740
// Refusals of a computer name from the network (send message, open shared folder) and of a message
// text that a command line cannot carry.
#define IDS_BAD_COMPUTER_NAME 57760
#define IDS_MESSAGE_BAD_CHARACTER 57761
// The server of another computer refused (the first time's message): %s stands for its name.
#define IDS_REMOTE_SERVER_ERROR 57780
#define IDS_REMOTE_ACCESS_DENIED 57781
// The log file: the line that stands for lines dropped while it could not be written, the log viewer's
// messages when its deletions could not be written, the tooltip's note while lines wait for it, and the
// message at the end when waiting lines could be kept nowhere.
#define IDS_LOG_LINES_DROPPED 57750
#define IDS_LOG_APPLY_HELD 57751
#define IDS_LOG_APPLY_CHANGED 57752
#define IDS_LOG_APPLY_CLOSE 57753
#define IDS_TIP_LOG_WAITING 57754
#define IDS_LOG_LINES_LOST 57755
// The command line's usage box (/? and words not understood), and the outcomes of /unregister.
#define IDS_USAGE 57770
#define IDS_USAGE_NOT_UNDERSTOOD 57771
#define IDS_UNREGISTER_DONE 57772
#define IDS_UNREGISTER_NO_RIGHTS 57773
#define IDS_UNREGISTER_FAILED 57774
// The event source's key: /unregister leaving another copy's, and a program path the key cannot hold.
#define IDS_UNREGISTER_OTHER_COPY 57810
#define IDS_EVENT_SOURCE_PATH_LIST 57811
// The service: its installation and removal, its description, and the tray's refusal while it watches.
#define IDS_SERVICE_INSTALLED 57820
#define IDS_SERVICE_ALREADY_INSTALLED 57821
#define IDS_SERVICE_OTHER_COPY 57822
#define IDS_SERVICE_REMOVED 57823
#define IDS_SERVICE_REMOVAL_PENDING 57824
#define IDS_SERVICE_NOT_INSTALLED 57825
#define IDS_SERVICE_NO_RIGHTS 57826
#define IDS_SERVICE_FAILED 57827
#define IDS_SERVICE_DESCRIPTION 57828
#define IDS_TIP_SERVICE_NOT_RUNNING 57829
#define IDS_SERVICE_NOT_DISPATCHED 57830
#define IDS_TIP_SERVICE_NOT_ANSWERING 57831
#define IDS_PIPE_REFUSED 57832
#define IDS_PIPE_FAILED 57833
// The file name of the manual in the language of the string table: the help command opens it.
#define IDS_MANUAL_FILE 57840
// The tray's notices: a rule's cut (user, computer, rule) or how many; the server refusing, failing
// (code) and answering again; log lines waiting (count) and written; a watched file closed (path, user,
// duration) or how many. "%1".."%3" stand for the values.
#define IDS_NOTICE_CUT_ONE 57850
#define IDS_NOTICE_CUT_MANY 57851
#define IDS_NOTICE_SERVER_DENIED 57852
#define IDS_NOTICE_SERVER_ERROR 57853
#define IDS_NOTICE_SERVER_BACK 57854
#define IDS_NOTICE_LOG_WAITING 57855
#define IDS_NOTICE_LOG_WRITTEN 57856
#define IDS_NOTICE_FILE_CLOSED 57857
#define IDS_NOTICE_FILES_CLOSED 57858

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_LIST 132
#define IDD_LOG_VIEWER 141

// Menus.
#define IDR_POP_LIST 129
#define IDR_TRAY 131
#define IDR_POP_LOG 143
#define IDR_POP_LOG2 144

// Icons: 128 the application (and first animation picture), 130 idle, 139..141 animation.
#define IDI_MAIN 128
#define IDI_IDLE 130
#define IDI_ANIM1 139
#define IDI_ANIM2 140
#define IDI_ANIM3 141

// Row images of the access list, 16 by 13 pixels.
#define IDB_FOLDER 133
#define IDB_COMPUTER 134
#define IDB_FILE 135
#define IDB_COMPUTER_GONE 136
#define IDB_FILE_GONE 137
#define IDB_FOLDER_GONE 138
// The log viewer's tree: a user name (dates show IDB_FOLDER).
#define IDB_USER 139

// Controls of the list window (dialog 132).
#define IDC_LIST 1004
#define IDC_DETAILS 1005

// Controls of the log viewer (dialog 141).
#define IDC_LOG_LIST 1026
#define IDC_LOG_TREE 1027
#define IDC_LOG_STATUS 1030
#define IDC_LOG_PROGRESS 1031
// The search box above the list, and the activity strip (a window of its own class, made at run time).
#define IDC_LOG_FIND 1061
#define IDC_LOG_STRIP 1062
// The search box's cue text, and the tooltips of the strip's bars: an hour (first hour, last hour,
// accesses, disconnections) and a date of a search's matches (date, lines).
#define IDS_LOG_FIND_CUE 57790
#define IDS_LOG_STRIP_HOUR 57791
#define IDS_LOG_STRIP_DATE 57792
// The tooltip of a strip column that holds several dates (first date, last date, lines).
#define IDS_LOG_STRIP_DATES 57793

// The main window's system-menu item that opens the version box.
#define IDM_ABOUTBOX 16

// Menu commands.
#define ID_DISCONNECT 32771
#define ID_VERSION_INFO 32773
#define ID_SHOW_LIST 32774
#define ID_CLOSE_APP 32775
#define ID_OPTION 32776
#define ID_SHOW_HELP 32777
#define ID_OPEN_SHARED_FOLDER 32780
#define ID_CHANGE_DETAILS 32781
#define ID_LOG_OPEN 32783
#define ID_SEND_MESSAGE 32784
#define ID_ADD_ACCEPTABLE 32786
#define ID_ADD_DENIED 32787
// The access list's menu, after the items above: closes the open file of the selected row.
#define ID_CLOSE_FILE 32820
// The access list's menu, last: watches the open file of the selected row until it is closed.
#define ID_NOTIFY_WHEN_CLOSED 32821
// The log viewer's menus: the nine column toggles (column = id - ID_LOG_COLUMN_FIRST), Refresh, Delete.
#define ID_LOG_COLUMN_FIRST 32788
#define ID_LOG_COL_CLIENT_NAME 32788
#define ID_LOG_COL_USER_NAME 32789
#define ID_LOG_COL_START_TIME 32790
#define ID_LOG_COL_USER_IDENT 32791
#define ID_LOG_COL_CLIENT_TYPE 32792
#define ID_LOG_COL_PROCESS_ID 32793
#define ID_LOG_COL_OPERATION 32794
#define ID_LOG_COL_PATH_NAME 32795
#define ID_LOG_COL_DISCONNECT_MESSAGE 32796
#define ID_LOG_COLUMN_LAST 32796
#define ID_LOG_REFRESH 32799
#define ID_LOG_DELETE 32801
// The log viewer's list menu: the listed lines saved as a CSV file; the Save dialog's title and file
// type, and the message when the file could not be written.
#define ID_LOG_EXPORT_CSV 32810
// The log viewer's list menu: shows or hides the activity strip (a check item).
#define ID_LOG_SHOW_STRIP 32811
#define IDS_EXPORT_CSV_FAILED 57720
#define IDS_EXPORT_CSV_TITLE 57721
#define IDS_EXPORT_CSV_FILTER 57722
// Sent by the log viewer's tree to its window when the selection changed.
#define ID_SELECT_LISTITEM 57667

// Option pages: 135 "Log Settings", 136 "View Settings", 137 "Disconnect Setting", 142 "Advanced".
#define IDD_PROP_LOG 135
#define IDD_PROP_VIEW 136
#define IDD_PROP_DISCONNECT 137
#define IDD_PROP_ADVANCED 142
// The fifth page, "Notices".
#define IDD_PROP_NOTICES 145

// Controls of "View Settings" (136).
#define IDC_START_DLG 1010
#define IDC_POP_FLAG 1011
#define IDC_TOP_DLG 1012
#define IDC_CHK_STARTUP 1013
#define IDC_POP_TIME_SPIN 1014
#define IDC_POP_TIME 1015
#define IDC_CLOSE_WHEN_EMPTY 1032
#define IDC_CLOSE_AFTER 1033
#define IDC_CLOSE_NEVER 1034
#define IDC_POP_CHK_OK_PC 1045

// Controls of "Disconnect Setting" (137).
#define IDC_PC_RULE 1016
#define IDC_FILE_RULE 1017
#define IDC_TIMER_RULE 1018
#define IDC_OK_PC_LIST 1019
#define IDC_EXTENSIONS 1020
#define IDC_DISCONNECT_AFTER 1021
#define IDC_DISCONNECT_AFTER_SPIN 1022
#define IDC_NG_PC_LIST 1024
#define IDC_OK_PC 1028
#define IDC_NG_PC 1029

// Controls of "Log Settings" (135).
#define IDC_LOG_OUT 1007
#define IDC_LOG_DAYS 1023
#define IDC_LOG_DAYS_SPIN 1024
#define IDC_LOG_CHK_OK_PC 1044
#define IDC_LOG_CHK_DIS_MSG 1045
#define IDC_LOG_EVENTS 1050

// Controls of "Advanced" (142).
#define IDC_MONITOR_PRIORITY 1034
#define IDC_MONITOR_INTERVAL 1035
#define IDC_MONITOR_INTERVAL_SPIN 1036
#define IDC_LIST_PRIORITY 1037
#define IDC_LIST_INTERVAL 1038
#define IDC_LIST_INTERVAL_SPIN 1039
#define IDC_MOMENTARY 1041
#define IDC_INITIAL 1047

// Controls of "Notices" (145).
#define IDC_NOTICE_RULE_CUT 1063
#define IDC_NOTICE_SERVER 1064
#define IDC_NOTICE_LOG 1065

// Send-message dialog (140).
#define IDD_SEND_MESSAGE 140
#define IDC_SENDER 1025
#define IDC_MESSAGE 1026
#define IDC_RECIPIENT 1027
// Shows that the message is on its way and the last line the command printed.
#define IDC_SEND_STATUS 1048
