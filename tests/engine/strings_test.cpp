// The string table: every text in English and in Japanese, as the bytes the program writes.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "platform/codepage.h"
#include "platform/strings.h"
#include "res/resource.h"
#ifndef _WIN32
#include "res/string_table.h"
#endif

namespace glimmerfen {
namespace {

using platform::FillTemplate;
using platform::LoadText;
using test::CodePage1252Test;
using test::CodePage932Test;

struct Text {
    unsigned id;
    std::string english;
    std::u16string japanese;
};

const std::vector<Text>& AllTexts() {
    static const std::vector<Text> texts = {
        {IDS_ABOUTBOX, "Glimmerfen Cheker Version information(&A)...", u"Glimmerfen Cheker のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
        {IDS_OPTION_CAPTION, "Glimmerfen Checker Option setup", u"Glimmerfen Checker の設定"},
        {IDS_ASK_STARTUP, "Does it register with start-up?", u"Glimmerfen Checherをスタートアップに登録しますか？"},
        {IDS_NO_HELP_FILE, "There is no help file.", u"ヘルプファイルがありません"},
        {IDS_DISCONNECT_ERROR, "Disconnect Error ", u"切断に失敗しました"},
        {IDS_DISCONNECT_MANUAL, "Disconnect manually", u"手動切断"},
        {IDS_DISCONNECT_NOT_ACCEPTABLE, "Disconnect automatically for no-Acceptable PC", u"許可PC以外のため自動切断"},
        {IDS_DISCONNECT_DENIED, "Disconnect automatically for the Denied PC", u"拒否PCのため自動切断"},
        {IDS_DISCONNECT_EXTENSION, "Disconnect automatically for detecting an extention", u"を検知し自動切断"},
        {IDS_DISCONNECT_TIME_LIMIT, "seconds Since access time passed, it disconnect automatically.",
         u"秒のアクセス時間が経過し自動切断"},
        {IDS_ASK_TARGET_ACCEPTABLE,
         "The target of Disconnect automatically serves as Denied PC.\n Is it aimed at the Acceptable PC ?",
         u"自動切断の対象が拒否PCとなっています。\n許可PCを対象としますか？"},
        {IDS_ASK_TARGET_DENIED,
         "The target of Disconnect automatically serves as Acceptable PC.\n Is it aimed at the Denied PC ?",
         u"自動切断の対象が許可PCとなっています。\n拒否PCを対象としますか？"},
        {IDS_EXPLORER_FAILED, "Starting of Explorer went wrong.", u"エクスプローラーの起動に失敗しました"},
        {IDS_LOG_SAVE_FAILED, "Preservation of a log went wrong.", u"ログの保存に失敗しました"},
        {IDS_OBJECTS, "objects", u"個のオブジェクト"},
        {IDS_COL_CLIENT_NAME, "Client name", u"クライアント名"},
        {IDS_COL_USER_NAME, "User name", u"ユーザー名"},
        {IDS_COL_OPENS, "Opens", u"アクセス数"},
        {IDS_COL_START_TIME, "Connection start time", u"接続開始時間"},
        {IDS_COL_CONNECTED_TIME, "Connection time", u"接続時間"},
        {IDS_COL_IDLE_TIME, "Connection idol time", u"アイドル時間"},
        {IDS_COL_USER_IDENT, "User Identification", u"ユーザー識別"},
        {IDS_COL_CLIENT_TYPE, "Client type", u"クライアントタイプ"},
        {IDS_COL_PROCESS_ID, "Process ID", u"プロセスID"},
        {IDS_COL_OPERATION, "Operation", u"操作"},
        {IDS_COL_LOCKS, "Locks", u"ロック数"},
        {IDS_COL_PATH_NAME, "Path name", u"パス名"},
        {IDS_COL_DISCONNECT_MESSAGE, "Message for disconnect", u"切断メッセージ"},
        {IDS_ALREADY_RUNNING, "Glimmerfen Checker has started", u"Glimmerfen Checkerは起動してます"},
        {IDS_FOLDER_TOO_LONG,
         "The path of the program's folder is too long for its settings file. Move the program to a folder with a "
         "shorter path.",
         u"プログラムのフォルダのパスが長すぎるため、設定ファイルを置けません。パスの短いフォルダに移してください。"},
        {IDS_UNEXPECTED_FAULT, "The program met an unexpected fault and has to end.",
         u"予期しない障害が発生したため、プログラムを終了します。"},
        {IDS_MESSAGE_TOO_LONG,
         "The message is too long to be sent: its command line would exceed 9999 characters. Shorten the message or "
         "the sender.",
         u"メッセージが長すぎるため送信できません（コマンドラインが9999文字を超えます）。メッセージか送信者を短くしてく"
         u"ださい。"},
        {IDS_SERVER_ACCESS_DENIED,
         "Glimmerfen Checker is not allowed to see the sessions and open files of this computer's shared folders "
         "(access denied), so it cannot show or log who is connected. Run it as administrator: right-click the program "
         "or its shortcut and choose Run as administrator. The tray icon's tooltip shows this state until the program "
         "can see them again.",
         u"アクセスが拒否されたため、Glimmerfen "
         u"Checkerはこのコンピュータの共有フォルダへの接続と開いているファイルを調べられません。接続の表示と記録はでき"
         u"ません。管理者として実行してください：プログラムかそのショートカットを右クリックして「管理者として実行」を選"
         u"びます。調べられるようになるまで、トレイアイコンのツールチップがこの状態を示します。"},
        {IDS_SERVER_ERROR,
         "Glimmerfen Checker cannot ask the system for the sessions and open files of this computer's shared folders, "
         "so it cannot show or log who is connected. ",
         u"Glimmerfen "
         u"Checkerはこのコンピュータの共有フォルダへの接続と開いているファイルを調べられません。接続の表示と記録はでき"
         u"ません。"},
        {IDS_TIP_ACCESS_DENIED, "Glimmerfen Checker - run as administrator",
         u"Glimmerfen Checker - 管理者として実行してください"},
        {IDS_TIP_SERVER_ERROR, "Glimmerfen Checker - server error ", u"Glimmerfen Checker - サーバーエラー "},
        {IDS_EXPORT_CSV_FAILED,
         "The list could not be saved as a CSV file. Check that the folder can be written to, that the disk has room "
         "and that no other program holds the file open. No file was changed:",
         u"CSVファイルに保存できませんでした。フォルダに書き込めるか、ディスクに空きがあるか、ほかのプログラムがファイ"
         u"ル"
         u"を開いていないかを確かめてください。ファイルは変更されていません："},
        {IDS_EXPORT_CSV_TITLE, "Export as CSV", u"CSV形式で保存"},
        {IDS_EXPORT_CSV_FILTER, "CSV (*.csv)", u"CSV ファイル (*.csv)"},
        {IDS_CLOSE_FILE_MANUAL, "Closed the file manually", u"手動でファイルを閉じました"},
        {IDS_CLOSE_FILE_ERROR, "Closing the file failed ", u"ファイルを閉じられませんでした"},
        {IDS_SENDING_MESSAGE, "Sending...", u"送信中..."},
        {IDS_LOG_LINES_DROPPED, "%d lines of the log were dropped while the log file could not be written.",
         u"ログファイルに書き込めない間に%d行のログが失われました"},
        {IDS_LOG_APPLY_HELD,
         "The deleted lines could not be removed from the log file: another program holds it open, or it cannot be "
         "written. The lines stay marked as deleted; Reflesh (F5) tries again.",
         u"ログファイルから削除できませんでした。ほかのプログラムがファイルを開いているか、書き込めません。削除の指定は"
         u"残っています。表示更新(F5)でもう一度試します。"},
        {IDS_LOG_APPLY_CHANGED,
         "The log file has changed since the viewer read it, so the deleted lines could not be removed. The log is "
         "read again; delete the lines once more.",
         u"ログファイルが読み込んだ後に変更されたため、削除できませんでした。ログを読み直しますので、もう一度削除して"
         u"ください。"},
        {IDS_LOG_APPLY_CLOSE,
         "The deleted lines could not be removed from the log file: another program holds it open, it cannot be "
         "written, or it has changed since the viewer read it.\nClose the viewer anyway? The lines then stay in the "
         "log.",
         u"ログファイルから削除できませんでした。ほかのプログラムがファイルを開いているか、書き込めないか、読み込んだ後"
         u"に変更されました。\nこのまま閉じますか？行はログに残ります。"},
        {IDS_TIP_LOG_WAITING, "%d log lines wait", u"書き込み待ちのログ %d 行"},
        {IDS_LOG_LINES_LOST,
         "%d log lines could not be kept and are lost: neither the log file nor the file for its waiting lines could "
         "be written.",
         u"ログファイルにも書き込み待ちの行のファイルにも書き込めないため、ログ %d 行を保存できませんでした。"},
        {IDS_BAD_COMPUTER_NAME,
         "This computer name is not used: it is not a well-formed computer name or IP address. Nothing was started.",
         u"このコンピュータ名は使えません（正しいコンピュータ名またはIPアドレスではありません）。何も起動していません"
         u"。"},
        {IDS_MESSAGE_BAD_CHARACTER,
         "The sender or the message holds a control character that cannot be sent. Remove it and try again.",
         u"送信者かメッセージに送信できない制御文字が含まれています。取り除いてからもう一度送信してください。"},
        {IDS_USAGE,
         "Usage: GlimmerfenChecker [/server:NAME]\n\n"
         "/server:NAME\n      Watches the shared folders of the computer NAME (a computer name or an IP address) "
         "instead of this computer. Without it the program watches the computer named by the Computer key of section "
         "[Network] in Glimmerfen.ini, or this computer.\n"
         "/unregister\n      Removes the program's registration as a source of the Windows event log, then ends. Run "
         "it as administrator before uninstalling.\n"
         "/install-service [/server:NAME]\n      Installs the program as a service that watches this computer (or "
         "NAME) while nobody is logged on, started with the computer. Needs administrator rights.\n"
         "/uninstall-service [/server:NAME]\n      Stops and removes that service. Needs administrator rights.\n"
         "/quiet\n      With /install-service or /uninstall-service: shows no message; the exit code tells the "
         "outcome (for installers and scripts).\n"
         "/? or --help\n      Shows this text.",
         u"使い方: GlimmerfenChecker [/server:名前]\n\n"
         u"/server:名前\n      このコンピュータではなく、指定したコンピュータ（コンピュータ名またはIPアドレス）の"
         u"共有フォルダを監視します。指定しないときは Glimmerfen.ini の [Network] セクションの Computer キーの"
         u"コンピュータ、またはこのコンピュータを監視します。\n"
         u"/unregister\n      Windowsのイベントログのソースとしての登録を削除して終了します。アンインストールの前に"
         u"管理者として実行してください。\n"
         u"/install-service [/server:名前]\n      だれもログオンしていないときもこのコンピュータ（または指定したコン"
         u"ピュータ）を監視するサービスとしてインストールします。コンピュータの起動時に開始します。管理者権限が必要です"
         u"。\n"
         u"/uninstall-service [/server:名前]\n      そのサービスを停止して削除します。管理者権限が必要です。\n"
         u"/quiet\n      /install-service または /uninstall-service と一緒に指定すると、メッセージを表示しません。"
         u"結果は終了コードで分かります（インストーラーやスクリプト用）。\n"
         u"/? または --help\n      この説明を表示します。"},
        {IDS_USAGE_NOT_UNDERSTOOD,
         "This part of the command line was not understood:", u"コマンドラインの次の指定は理解できません:"},
        {IDS_UNREGISTER_DONE, "Glimmerfen Checker is no longer registered as a source of the Windows event log.",
         u"Glimmerfen CheckerのWindowsイベントログのソースとしての登録を削除しました。"},
        {IDS_UNREGISTER_NO_RIGHTS,
         "The registration as a source of the Windows event log could not be removed: this needs administrator rights."
         " Start the program with /unregister by Run as administrator.",
         u"Windowsイベントログのソースとしての登録を削除できませんでした。管理者権限が必要です。「管理者"
         u"として実行」で /unregister を付けて起動してください。"},
        {IDS_UNREGISTER_FAILED, "The registration as a source of the Windows event log could not be removed.",
         u"Windowsイベントログのソースとしての登録を削除できませんでした。"},
        {IDS_REMOTE_SERVER_ERROR,
         "Glimmerfen Checker cannot ask the computer %s for the sessions and open files of its shared folders, so it "
         "cannot show or log who is connected. It goes on watching by itself when the computer answers again. ",
         u"Glimmerfen Checkerはコンピュータ %s の共有フォルダへの接続と開いているファイルを調べられません。接続の表示と"
         u"記録はできません。コンピュータが応答すると自動的に監視を再開します。"},
        {IDS_REMOTE_ACCESS_DENIED,
         "The computer %s does not let Glimmerfen Checker see the sessions and open files of its shared folders "
         "(access denied). Run the program as a user who is a member of the Administrators or Server Operators group "
         "on that computer.",
         u"アクセスが拒否されたため、Glimmerfen Checkerはコンピュータ %s の共有フォルダへの接続と開いているファイルを"
         u"調べられません。そのコンピュータのAdministratorsまたはServer Operatorsグループのユーザーとして実行してくださ"
         u"い。"},
        {IDS_LOG_FIND_CUE, "Find: PC, user, file (Ctrl+F)", u"検索: PC、ユーザー、ファイル (Ctrl+F)"},
        {IDS_LOG_STRIP_HOUR, "%02d:00-%02d:59: %u accesses, %u disconnections",
         u"%02d:00～%02d:59: アクセス %u 件、切断 %u 件"},
        {IDS_LOG_STRIP_DATE, "%s: %u lines found", u"%s: 検索結果 %u 行"},
        {IDS_LOG_STRIP_DATES, "%s - %s: %u lines found", u"%s～%s: 検索結果 %u 行"},
        {IDS_UNREGISTER_OTHER_COPY,
         "The event source is registered for another copy of the program and was left as it is:",
         u"イベントソースはこのプログラムの別のコピーに登録されているため、そのままにしました:"},
        {IDS_EVENT_SOURCE_PATH_LIST,
         "Glimmerfen Checker was not registered as a source of the Windows event log: the path of the program holds a "
         "\";\", which the event log reads as the end of one file name and the start of another. The events are "
         "written all the same, but the event viewer shows them without their texts. To have them registered, move "
         "the program to a folder whose path holds no \";\".",
         u"Glimmerfen "
         u"CheckerをWindowsイベントログのソースとして登録しませんでした。プログラムのパスに「;」が含まれており、イベン"
         u"トログはこれをファイル名の区切りとして読むためです。イベントはそのまま書き込まれますが、イベントビューアーに"
         u"は説明文なしで表示されます。登録するには、パスに「;」を含まないフォルダにプログラムを移動してください。"},
        {IDS_SERVICE_INSTALLED,
         "Glimmerfen Checker was installed as a service: it starts with the computer, before anyone logs on. Start it "
         "now from Services, or restart the computer. Service:",
         u"Glimmerfen "
         u"Checkerをサービスとしてインストールしました。コンピュータの起動時に、だれもログオンしないうちに開始します。"
         u"今すぐ開始するには「サービス」から開始するか、コンピュータを再起動してください。サービス:"},
        {IDS_SERVICE_ALREADY_INSTALLED, "The service of this program is already installed. Service:",
         u"このプログラムのサービスはすでにインストールされています。サービス:"},
        {IDS_SERVICE_OTHER_COPY, "The service is installed for another copy of the program and was left as it is:",
         u"サービスはプログラムの別のコピーに対してインストールされているため、そのままにしました:"},
        {IDS_SERVICE_REMOVED,
         "The service was stopped and removed. Service:", u"サービスを停止して削除しました。サービス:"},
        {IDS_SERVICE_REMOVAL_PENDING,
         "The service did not stop in time. It is removed as soon as it has stopped. Service:",
         u"サービスが時間内に停止しませんでした。停止しだい削除されます。サービス:"},
        {IDS_SERVICE_NOT_INSTALLED, "The service of this program is not installed. Service:",
         u"このプログラムのサービスはインストールされていません。サービス:"},
        {IDS_SERVICE_NO_RIGHTS,
         "Installing or removing the service needs administrator rights. Start the program with the same switch by Run "
         "as administrator.",
         u"サービスのインストールと削除には管理者権限が必要です。「管理者として実行」で同じ指定を付けて起動してください"
         u"。"},
        {IDS_SERVICE_FAILED,
         "The service manager refused the request. Service:", u"サービスマネージャーが要求を拒否しました。サービス:"},
        {IDS_SERVICE_DESCRIPTION,
         "Watches who is connected to the shared folders and which files they hold open, logs every access and "
         "disconnects by rules, also while nobody is logged on.",
         u"共有フォルダに接続しているユーザーと開いているファイルを監視し、すべてのアクセスを記録して、規則に従って切断"
         u"します。だれもログオンしていないときも動作します。"},
        {IDS_TIP_SERVICE_NOT_RUNNING, "The Glimmerfen Checker service is not running",
         u"Glimmerfen Checkerサービスが動いていません"},
        {IDS_SERVICE_NOT_DISPATCHED,
         "The switch /service is for the service manager only. To have the program run as a service, install it with "
         "/install-service.",
         u"/service の指定はサービスマネージャー専用です。プログラムをサービスとして実行するには /install-service "
         u"でインストールしてください。"},
        {IDS_TIP_SERVICE_NOT_ANSWERING, "The Glimmerfen Checker service does not answer",
         u"Glimmerfen Checkerサービスが応答しません"},
        {IDS_PIPE_REFUSED, "A request on the service's pipe was refused and its client disconnected. Reason: ",
         u"サービスのパイプへの要求を拒否し、接続を切りました。理由: "},
        {IDS_PIPE_FAILED,
         "The service's pipe could not be made: trays cannot show this service's watch, which goes on. (Error:",
         u"サービスのパイプを作成できませんでした。トレイにはこのサービスの監視を表示できませんが、監視は続けます。("
         u"Error:"},
        // The Japanese program opens the Japanese manual.
        {IDS_MANUAL_FILE, "manual.chm", u"manual_ja.chm"},
        {IDS_NOTICE_CUT_ONE, "%1 on %2 was disconnected by a rule: %3", u"%2 の %1 をルールにより切断しました: %3"},
        {IDS_NOTICE_CUT_MANY, "%1 clients disconnected by rules", u"%1 件のクライアントをルールにより切断しました"},
        {IDS_NOTICE_SERVER_DENIED, "The server refused to answer: access is denied.",
         u"サーバーが応答を拒否しました(アクセスが拒否されました)。"},
        {IDS_NOTICE_SERVER_ERROR, "The server cannot be reached (Error:%1).", u"サーバーに接続できません(Error:%1)。"},
        {IDS_NOTICE_SERVER_BACK, "The server answers again.", u"サーバーが再び応答しています。"},
        {IDS_NOTICE_LOG_WAITING, "The log file cannot be written: %1 lines wait.",
         u"ログファイルに書き込めません。%1 行が待機しています。"},
        {IDS_NOTICE_LOG_WRITTEN, "The waiting lines were written to the log file.",
         u"待機していた行をログファイルに書き込みました。"},
        {IDS_NOTICE_FILE_CLOSED, "%1 is no longer open (held by %2 for %3)", u"%1 は閉じられました(%2 が %3 使用)"},
        {IDS_NOTICE_FILES_CLOSED, "%1 watched files are no longer open",
         u"監視していた %1 件のファイルが閉じられました"},
    };
    return texts;
}

TEST_F(CodePage1252Test, EveryTextInEnglish) {
    for (const Text& text : AllTexts()) {
        EXPECT_EQ(LoadText(text.id), text.english) << text.id;
    }
}

TEST_F(CodePage1252Test, EnglishTextsKeepTrailingSpacesAndLineBreaks) {
    // The error text is followed directly by "(Error:%d)": its trailing space must survive.
    EXPECT_EQ(LoadText(57670), "Disconnect Error ");
    const std::string question = LoadText(57676);
    EXPECT_NE(question.find(".\n Is it"), std::string::npos) << question;
    EXPECT_EQ(LoadText(101), "Glimmerfen Cheker Version information(&A)...");
}

TEST_F(CodePage932Test, EveryTextInJapaneseAsShiftJis) {
    for (const Text& text : AllTexts()) {
        EXPECT_EQ(LoadText(text.id), platform::WideToAnsi(text.japanese)) << text.id;
    }
}

TEST_F(CodePage932Test, JapaneseTextsHaveTheExpectedBytes) {
    // 切断に失敗しました
    EXPECT_EQ(LoadText(57670), "\x90\xd8\x92\x66\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd");
    // Half-width katakana are single bytes of 932.
    EXPECT_EQ(LoadText(101), "Glimmerfen Cheker \x82\xcc\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1(&A)...");
    // A real line break between the two sentences, and the full-width question mark.
    EXPECT_EQ(LoadText(57677), "\x8e\xa9\x93\xae\x90\xd8\x92\x66\x82\xcc\x91\xce\x8f\xdb\x82\xaa\x8b\x96\x89\xc2"
                               "PC\x82\xc6\x82\xc8\x82\xc1\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x42\n"
                               "\x8b\x91\x94\xdb"
                               "PC\x82\xf0\x91\xce\x8f\xdb\x82\xc6\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48");
}

TEST(StringTable, UnknownIdsAreEmpty) {
    // Ids inside the table's range that have no text, and ids far outside it.
    for (const unsigned id : {0u, 1u, 100u, 102u, 57665u, 57667u, 57694u, 57699u, 65535u}) {
        EXPECT_EQ(LoadText(id), "") << id;
    }
}

TEST(FillTemplate, ValuesAreTextNeverAFormat) {
    struct Case {
        std::string_view text;
        std::initializer_list<std::string_view> values;
        std::string filled;
    };
    const Case cases[] = {
        {"%1 on %2: %3", {"%2", "PC%s", "100%"}, "%2 on PC%s: 100%"},
        {"%2 \x82\xcc %1", {"bob", "PC1"}, "PC1 \x82\xcc bob"}, // numbered values in another order
        {"%3 missing, 50% done", {"a"}, " missing, 50% done"},  // no value: nothing; a lone "%" stays
        {"%s - %s: %u lines", {"2024-01-02", "2024-01-05", "7"}, "2024-01-02 - 2024-01-05: 7 lines"},
        {"%02d:00-%02d:59", {"9", "10"}, "09:00-10:59"},
        {"%03d|%02d|%02u", {"-5", "-5", "123"}, "-05|-5|123"}, // the sign first; never cut
        {"%d%% and %d", {"50"}, "50% and "},                   // "%%" is one "%"; one value too few
        {"%s", {"%d%n%s"}, "%d%n%s"},
        {"100%", {}, "100%"},
        {"%0", {"x"}, "%0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillTemplate(c.text, c.values), c.filled) << c.text;
    }
}

// The table's printf-like texts come out as printf made them, in both languages.
TEST(FillTemplate, TheTablesTextsAsPrintfFilledThem) {
    for (const unsigned codePage : {1252u, 932u}) {
        test::ScopedCodePage scope(codePage);
        if (!scope.Active()) {
            continue; // on Windows the system's code page decides
        }
        char expected[512];
        std::snprintf(expected, sizeof expected, LoadText(IDS_LOG_STRIP_HOUR).c_str(), 7, 9, 12345u, 0u);
        EXPECT_EQ(FillTemplate(LoadText(IDS_LOG_STRIP_HOUR), {"7", "9", "12345", "0"}), expected);
        std::snprintf(expected, sizeof expected, LoadText(IDS_LOG_STRIP_DATES).c_str(), "2024-1-2", "2024-1-3", 4u);
        EXPECT_EQ(FillTemplate(LoadText(IDS_LOG_STRIP_DATES), {"2024-1-2", "2024-1-3", "4"}), expected);
        for (const unsigned id : {IDS_TIP_LOG_WAITING, IDS_LOG_LINES_DROPPED, IDS_LOG_LINES_LOST}) {
            std::snprintf(expected, sizeof expected, LoadText(id).c_str(), 2147483647);
            EXPECT_EQ(FillTemplate(LoadText(id), {"2147483647"}), expected) << id;
        }
        std::snprintf(expected, sizeof expected, LoadText(IDS_REMOTE_SERVER_ERROR).c_str(), "\\\\FS01");
        EXPECT_EQ(FillTemplate(LoadText(IDS_REMOTE_SERVER_ERROR), {"\\\\FS01"}), expected);
    }
}

#ifndef _WIN32
TEST(StringTable, GeneratedTableHasExactlyTheTextsOfBothLanguages) {
    // An id present in only one of en.rc and ja.rc has a null text in the generated table; an id
    // the resources gained or lost shows up as a difference from the list above.
    std::vector<unsigned> generated;
    for (const res::StringEntry& entry : res::StringTable()) {
        EXPECT_NE(entry.english, nullptr) << entry.id;
        EXPECT_NE(entry.japanese, nullptr) << entry.id;
        generated.push_back(entry.id);
    }
    std::vector<unsigned> expected;
    for (const Text& text : AllTexts()) {
        expected.push_back(text.id);
    }
    EXPECT_EQ(generated, expected);
}

TEST(StringTable, LanguageFollowsTheTestSwitch) {
    {
        GF_USE_CODE_PAGE_OR_SKIP(932);
        EXPECT_EQ(LoadText(57671), "\x8e\xe8\x93\xae\x90\xd8\x92\x66");
    }
    {
        GF_USE_CODE_PAGE_OR_SKIP(1252);
        EXPECT_EQ(LoadText(57671), "Disconnect manually");
    }
}
#endif

} // namespace
} // namespace glimmerfen
