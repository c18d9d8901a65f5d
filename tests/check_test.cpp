// norvane-check: for each rule, lines it must flag and near misses it must not, with the line,
// column, severity, subject and named line of each finding; the forms of the report; the exit
// statuses and totals.
#include "batch/script_lines.h"
#include "check/cli.h"
#include "check/report.h"
#include "check/script_checker.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A temporary file holding `text`, read from its start.
std::FILE *file_of(std::string_view text) {
    std::FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

std::string contents(std::FILE *f) {
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += char(c);
    return text;
}

// "LINE:COLUMN S rule 'subject' @line" of each finding, in the order reported: S is the
// severity's initial; the subject and the named line are there where the finding has them.
std::string findings_of(std::string_view script) {
    std::string found;
    script_checker checker([&](const finding &f) {
        found += (found.empty() ? "" : ", ") + std::to_string(f.line) + ":" +
                 std::to_string(f.column) + " " + severity_name(severity_of(f.message))[0] + " " +
                 rule_of(f.message);
        if (!f.subject.empty()) found += " '" + f.subject + "'";
        if (f.other_line) found += " @" + std::to_string(f.other_line);
    });
    std::FILE *in = file_of(script);
    read_lines(in, [&](std::string_view line) { checker.check_line(line); });
    std::fclose(in);
    checker.finish();
    return found;
}

TEST(Check, EachRuleFlagsItsLinesAndNoNearMiss) {
    const std::string x8186(8186, 'x');
    const struct {
        std::string script, found;
    } rows[] = {
        {"echo a\nend\necho b\n", "2:1 e end-line"},
        {"echo a\nend\n\n \n", ""},
        {" end\nend \necho\n", ""},
        {"echo a\x1a\necho b\n", "1:7 e eof-mark"},
        {"echo a\x1a"
         "echo b",
         "1:7 e eof-mark"},
        {"echo a\n\x1a\n\x1a \n", ""},
        {"echo a\rb\recho c\r\n", "1:7 e cr-only"},
        {"echo a\r\necho b\r", ""},
        {"a\rb\nc\rd\n", "1:2 e cr-only"},
        {"\xef\xbb\xbf"
         "cd x\n",
         "1:1 w bom, 1:4 w folder 'cd'"},
        {"\xef\xbb\xbf\"a\" b\n", "1:1 w bom, 1:4 w quotes"},
        {"echo \xef\xbb\xbf\n", "1:6 n code-page"},
        {"if exist x (\n  echo in\n\n  rem (\n) else (\n:: x\necho out)\n",
         "1:12 e block, 2:3 e block @1, 5:1 e block @1, 7:9 e block @1"},
        {"for %%f in (a) do (\necho %%f\n)",
         "1:5 e loop-variable 'f', 1:19 e block, 2:1 e block @1, 2:6 e loop-variable 'f', "
         "3:1 e block @1"},
        {"if exist a (\necho\n) & if exist b (\necho 2\n)\n",
         "1:12 e block, 2:1 e block @1, 3:1 e block @1, 3:16 e block, 4:1 e block @3, "
         "5:1 e block @3"},
        {"if 1==1 (\n  set X=%X:)=%\n  cd y\n)\n",
         "1:9 e block, 2:3 e block @1, 2:9 n unset 'X', 3:3 w folder 'cd', 3:3 e block @1, "
         "4:1 e block @1, 2:3 w variable 'X'"},
        {"for %%a in (\n one\n two\n) do echo item %%a\n",
         "1:5 e loop-variable 'a', 1:12 e block, 2:2 e block @1, 3:2 e block @1, 4:1 e block @1, "
         "4:16 e loop-variable 'a'"},
        {"for %%a in (1 2) ^\ndo (\n  echo [%%a]\n  echo x\n)\n",
         "1:5 e loop-variable 'a', 1:18 e block, 2:1 e block @1, 2:4 e block, 3:3 e block @2, "
         "3:9 e loop-variable 'a', 4:3 e block @2, 5:1 e block @2"},
        {"if exist a (\necho a\n) ^\nelse (\necho b\n)\n",
         "1:12 e block, 2:1 e block @1, 3:1 e block @1, 3:3 e block, 4:1 e block @3, "
         "5:1 e block @1, 6:1 e block @1"},
        {"for %%a in (\"a)b\" c^)d) do echo %%a\n",
         "1:5 e loop-variable 'a', 1:33 e loop-variable 'a'"},
        {"for %%a in ((a) b) do echo %%a\n", "1:5 e loop-variable 'a', 1:28 e loop-variable 'a'"},
        {"for %%a in (1) do if exist x (\necho %%a\n)\n",
         "1:5 e loop-variable 'a', 1:30 e block, 2:1 e block @1, 2:6 e loop-variable 'a', "
         "3:1 e block @1"},
        {"for %%a in (1) do (\nif exist x (\necho %%a\n)\n)\n",
         "1:5 e loop-variable 'a', 1:19 e block, 2:1 e block @1, 3:1 e block @1, "
         "3:6 e loop-variable 'a', 4:1 e block @1, 5:1 e block @1"},
        {"echo one ^\ntwo\n", "1:10 e block, 2:1 e block @1"},
        // The first byte of a joined line is plain, and % forms end with their line.
        {"echo a ^\n& cd x\n", "1:8 e block, 2:1 e block @1"},
        {"echo %a ^\n & cd y %\necho %a:b ^\n& cd z\n",
         "1:6 n percent, 1:9 e block, 2:2 e block @1, 2:4 w folder 'cd', 2:9 n percent, "
         "3:6 n percent, 3:11 e block, 4:1 e block @3"},
        {":: note ^\ncd x\n", "2:1 w folder 'cd'"},
        {"if a^\nif a==^\nrem a ^\necho \"^\"\necho ^^\necho ^^^\n",
         "1:5 e block, 2:1 e block @1, 2:7 e block, 3:1 e block @2, 3:7 e block, "
         "4:1 e block @3, 6:8 e block"},
        {"if exist x (echo a) else (echo b)\necho (a) \"(\" ^(\necho \"a ^\"\necho :)\n)\necho\n",
         ""},
        {"cd \"a & b\"\nif exist x (\necho \")\"\n)\n",
         "1:1 w folder 'cd', 2:12 e block, 3:1 e block @2, 4:1 e block @2"},
        {"set P=\"q\"\nif defined P (set P=%P:\"=%) else (set P=x)\necho [%P%]\necho after\n",
         "1:1 w variable 'P' @2, 2:15 w variable 'P' @3, 2:35 w variable 'P' @3"},
        {"goto done\n:done\ncall :sub\ngoto:eof\n",
         "1:1 e label, 2:1 w label, 3:1 e label 'sub', 4:1 e label"},
        {"echo goto x\n:: note\nrem goto x\n: \n", ""},
        {"for %%f in (a b) do echo %%~nxf\n",
         "1:5 e loop-variable 'f', 1:26 e loop-variable '~nxf'"},
        {"for %%a in (x) do echo %%~$PATH:a %%~dp$PATH:a\n",
         "1:5 e loop-variable 'a', 1:24 e loop-variable '~$PATH:a', "
         "1:35 e loop-variable '~dp$PATH:a'"},
        {"echo 100%% done\necho \"for %%i in (a) do x\"\n", "1:9 w percent, 2:11 w percent"},
        {"echo 50%\necho 50% 50%\necho 100%%\n", "1:8 n percent, 3:9 w percent"},
        {"for %f in (a) do echo %f\n", ""},
        {"echo %1 %* %~dp0 %~nx0\nshift\n",
         "1:6 w arguments '1', 1:9 w arguments '*', 1:12 w arguments '~dp0', "
         "1:18 w arguments '~nx0', 2:1 w arguments"},
        {"echo %PATH% %~f 100%\necho shift\n", ""},
        {"echo %~$P% %~$Q:1\n", "1:12 w arguments '~$Q:1'"},
        {"cd build\nchdir x\npushd y\npopd\nD:\ncd..\nif exist x cd x\n",
         "1:1 w folder 'cd', 2:1 w folder 'chdir', 3:1 w folder 'pushd', 4:1 w folder, "
         "5:1 w folder 'D:', 6:1 w folder 'cd', 7:12 w folder 'cd'"},
        {"if %n% equ 1 cd x\ncd x 2>&1\n>nul cd b\ncall cd c\ncall pushd d\n,;=cd e\n"
         "echo \"a^\" & cd f\nif \"a^\"==\"a^\" cd g\n",
         "1:4 n unset 'n', 1:14 w folder 'cd', 2:1 w folder 'cd', 3:1 w folder 'cd', "
         "4:1 w folder 'cd', 5:1 w folder 'pushd', 6:4 w folder 'cd', 7:13 w folder 'cd', "
         "8:15 w folder 'cd'"},
        {"cd sub &\ncd sub &&\ncd build & rem go\npushd b & :: x\n",
         "1:1 w folder 'cd', 2:1 w folder 'cd', 3:1 w folder 'cd', 4:1 w folder 'pushd'"},
        {"cd /d X && make\npushd x & dir\nD: & dir\necho cd x\nrem cd x\nDD:\ncd \ncd "
         "/d\n1:\nD:\\\n"
         "echo ^& cd x\n",
         ""},
        {"set X=1\necho %x%\n", "1:1 w variable 'X' @2"},
        {"set X=1\necho %X:~0,1%\nset Y=1\necho %y:a=b%\n",
         "1:1 w variable 'X' @2, 3:1 w variable 'Y' @4"},
        {"set A=1\necho %A:%\n", "1:1 w variable 'A'"},
        {"set \"A=1\"\nset /a N+=1\nset /p Q=?\n",
         "2:1 w arithmetic, 1:1 w variable 'A', 2:1 w variable 'N', 3:1 w variable 'Q'"},
        {"set X=1&\necho %X%\nset Y=1 & rem note\necho %Y%\ncall set Z=1\necho %Z%\n"
         ">nul set W=1\necho %W%\n",
         "1:1 w variable 'X' @2, 3:1 w variable 'Y' @4, 5:1 w variable 'Z' @6, "
         "7:1 w variable 'W' @8"},
        {"if 1==1 (set X=1) else (set X=2)\necho %X%\n",
         "1:10 w variable 'X' @2, 1:25 w variable 'X' @2"},
        {"(if 1==1 (set X=1) else (set X=2))\necho %X%\n",
         "1:11 w variable 'X' @2, 1:26 w variable 'X' @2"},
        {"set X=1\ncall echo %%X%%\n", "2:11 w percent, 2:14 w percent, 1:1 w variable 'X' @2"},
        {"set X=1 && prog\nset\nset Y\nset =a\necho set X=1\nsetx A 1\n", ""},
        {"path C:\\bin\npath\npath ; & prog\n", "1:1 w variable"},
        {"set /a 2+3\nset /a 2+3 >nul\nset /a 2+3 | more\nset /a X=1 2>nul\nset /a 2+3 || echo\n",
         "1:1 w arithmetic, 4:1 w arithmetic, 5:1 w arithmetic, 4:1 w variable 'X'"},
        {"echo !X! !a:b=c!\n", "1:6 w delayed 'X', 1:10 w delayed 'a:b=c'"},
        {"echo Hello! World! wow!!\n", ""},
        {"setlocal enabledelayedexpansion\nendlocal\n",
         "1:1 w setlocal 'setlocal', 2:1 w setlocal 'endlocal'"},
        {"if errorlevel 1 echo x\nif /i not errorlevel 1 echo y\necho %ERRORLEVEL%\n",
         "1:4 w errorlevel, 2:11 w errorlevel, 3:6 w errorlevel"},
        {"cmd /c exit 3\ncmd /c exit 0 & echo A[%errorlevel%]\nif \"a\"==\"a\" echo A "
         "%errorlevel%\nif exist s.bat if errorlevel 1 echo x\nif exist s.bat (echo D "
         "%errorlevel%)\n",
         "2:24 w errorlevel, 3:20 w errorlevel, 4:19 w errorlevel, 5:24 w errorlevel"},
        {"echo\ncd %ERRORLEVEL%\ncall :x %errorlevel%\n",
         "2:1 w folder 'cd', 2:4 w errorlevel, 3:1 e label 'x', 3:9 w errorlevel"},
        {"prog & if errorlevel 1 echo x\nprog || echo failed\n", ""},
        {"if errorlevel 1 echo %errorlevel%\n", "1:4 w errorlevel"},
        {"exit /b 1\necho after\n", "1:1 w exit @2"},
        {"exit & exit /b\necho\n", "1:1 w exit @2"},
        {"exit\necho a &^\nrem x\n", "2:9 e block, 3:1 e block @2, 1:1 w exit @2"},
        {"echo a\nexit\n\nrem done\n:: eof\n", ""},
        {"\"C:\\my tools\\x.exe\" \"a b\"\n\"a\" b\n", "1:1 w quotes, 2:1 w quotes"},
        {"@\"C:\\my tools\\x.exe\" \"a b\"\n\"C:\\my tools\\x.exe\"\n \"a\" \"b\"\n", ""},
        {"echo " + x8186 + "y\n", "1:8192 e long-line '8192'"},
        {"echo " + x8186 + "\n", ""},
        {std::string("echo a\0b\0\n", 10), "1:7 w nul"},
        {std::string("rem a\0b\n", 8), ""},
        {"call build.bat\ncall \"x y.CMD\" a\n",
         "1:1 n call-script 'build.bat', 2:1 n call-script 'x y.CMD'"},
        {"call prog.exe\necho call a.bat\ncall .bat\n", ""},
        // A name call may find as a batch file; one started without call, with lines after it.
        {"call conda activate\ncall tools\\setup x\ncall echo.\ncall cd\ncall %T%\n",
         "1:1 n call-script 'conda', 2:1 n call-script 'tools\\setup'"},
        {"other.bat\necho after\nb.CMD x\n", "1:1 w call-script 'other.bat' @2"},
        {"echo a\nother.bat\n:: only comments after\n", ""},
        {"b.bat & exit /b\necho c\n", "1:1 w call-script 'b.bat' @2, 1:9 w exit @2"},
        // A set with commands after it on its line: only a later line that reads it is told.
        {"set X=1& echo hi\necho %X%\nset Y=1& echo %Y%\nset Z=1& echo\nset Z=2\n",
         "1:1 w variable 'X' @2, 3:15 n unset 'Y', 5:1 w variable 'Z'"},
        // A variable nothing set: a note once a name, a warning where an if tests it for empty.
        {"echo [%SPHINXOPTS%] %Path% %cd% %random%\nif \"%JAVA_HOME%\"==\"\" echo none\n"
         "if not [%JAVA_HOME%]==[] echo x\nif %X%.==. echo x\necho %SPHINXOPTS%\n",
         "1:7 n unset 'SPHINXOPTS', 2:5 w unset 'JAVA_HOME', 3:9 w unset 'JAVA_HOME', "
         "4:4 w unset 'X'"},
        {"set A=1\nif \"%A%\"==\"\" echo x\nset /a B=1, C=2 >nul\necho %C% %E%\n",
         "1:1 w variable 'A' @2, 4:10 n unset 'E', 3:1 w variable 'B'"},
        {"if \"%A%\"==\"x\" echo a\nif \"%B%x\"==\"\" echo b\n",
         "1:5 n unset 'A', 2:5 n unset 'B'"},
        {"call :init\necho %A%\n", "1:1 e label 'init'"},
        {"for %%a in (x) do set %%a=1\necho %x%\n",
         "1:5 e loop-variable 'a', 1:23 e loop-variable 'a', 1:19 w variable '%%a'"},
        // The lines a goto that always runs jumps over, up to a label.
        {"goto end\necho a\n\necho b\n:end\necho c\ngoto :eof\nrem x\n:sub\necho d\n"
         "goto x\necho e\n",
         "1:1 e label, 5:1 w label, 2:1 w skipped 'lines 2-4' @1, 7:1 e label, 9:1 w label, "
         "11:1 e label, 12:1 w skipped 'line 12' @11"},
        {"if x==y goto a\necho a\necho b & goto c\n:c\n(goto d)\necho d\n",
         "1:9 e label, 3:10 e label, 4:1 w label, 5:2 e label"},
        {"rem caf\xe9\necho caf\xe9\necho \xe9\n", "2:9 n code-page"},
        {"rem %1 %%f !x! cd\n:: %1 set x=1\necho a & rem %1 cd\n", ""},
        // What a later line decides comes after that line's own findings.
        {"set X=1\ncd a\necho %X%\nexit\necho %1\n",
         "2:1 w folder 'cd', 1:1 w variable 'X' @3, 5:6 w arguments '1', 4:1 w exit @5"},
        {"set A=1\nset A=2\nset A=3\n",
         "1:1 w variable 'A' @2, 2:1 w variable 'A' @3, 3:1 w variable 'A'"},
        // A line longer than a block of the reader, with a finding at its end.
        {"echo " + std::string(100 << 10, 'x') + " %1\n",
         "1:8192 e long-line '" + std::to_string(8 + (100 << 10)) +
             "', 1:" + std::to_string(7 + (100 << 10)) + " w arguments '1'"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(findings_of(row.script), row.found) << row.script.substr(0, 200);
}

// What the messages say, with what they name.
TEST(Check, MessagesNameTheLinesThatDecide) {
    std::string texts;
    script_checker checker([&](const finding &f) {
        append_message(texts, f);
        texts += '\n';
    });
    for (const char *line :
         {"set A=1", "set B=1", "echo x", "echo !b! %a%", "set A=2", "set A=3", "set /a N+=1"})
        checker.check_line(line);
    checker.finish();
    EXPECT_EQ(texts,
              "delayed expansion is off in a command line: !b! stays as written; put the value in "
              "its place\n"
              "set does not carry to the next line, so line 4, which uses A, does not see this "
              "value; write the value there in its place\n"
              "set does not carry to the next line, so line 4, which uses B, does not see this "
              "value; write the value there in its place\n"
              "set does not carry to the next line, and no line uses A before line 6 sets it "
              "again; join it with the commands that need it: set \"A=...\" && cmd\n"
              "set /a writes its result when it runs as a command line, as the program runs it, "
              "and not in a batch file; send it to nul: set /a N+=1 >nul\n"
              "set does not carry to the next line; join it with the commands that need A: set "
              "\"A=...\" && cmd\n"
              "set does not carry to the next line; join it with the commands that need N: set "
              "\"N=...\" && cmd\n");
}

struct run {
    int status;
    std::string out, err;
};

run check(std::vector<std::string_view> arguments, std::string_view standard_input = "",
          std::FILE *in = nullptr) {
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    if (!in) in = file_of(standard_input);
    const int status = run_check(arguments, {in, out, err, [] {}});
    run done{status, contents(out), contents(err)};
    for (std::FILE *f : {in, out, err})
        std::fclose(f);
    return done;
}

TEST(Check, JsonForm) {
    EXPECT_EQ(
        check({"--format=json", "-"}, "set X=\"\xe9\"\n").out,
        "[\n  {\"file\": \"-\", \"line\": 1, \"column\": 8, \"severity\": \"note\", \"rule\": "
        "\"code-page\", \"message\": \"a byte from 0x80 up: the program's commands are read "
        "in the Windows (ANSI) code page, a batch file in the console's (OEM) code page, so "
        "it may stand for another letter; save the script in the Windows code page, or keep "
        "such names ASCII\"},\n"
        "  {\"file\": \"-\", \"line\": 1, \"column\": 1, \"severity\": \"warning\", "
        "\"rule\": \"variable\", \"message\": \"set does not carry to the next line; join it "
        "with the commands that need X: set \\\"X=...\\\" && cmd\"}\n]\n");
    EXPECT_EQ(check({"--format", "json", "-"}, "echo\n").out, "[]\n");
    // A file name that is not UTF-8, and a quote in it.
    temp_dir dir;
    const std::string name = dir / "a\"\xe9.bat";
    std::ofstream(name) << "goto x\n";
    const std::string shown = dir / "a\\\"\\u00e9.bat";
    EXPECT_EQ(check({"--format=json", name}).out.substr(0, 15 + shown.size()),
              "[\n  {\"file\": \"" + shown + "\"");
    // Each byte that is no part of UTF-8 as a Latin-1 letter; control bytes escaped.
    const struct {
        std::string text, json;
    } strings[] = {
        {"a\xc3\xa9z", "\"a\xc3\xa9z\""},
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},            // too long a form of /
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""}, // a surrogate
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},
        {std::string("\x01\x1f\x7f\0\"\\", 6), "\"\\u0001\\u001f\x7f\\u0000\\\"\\\\\""},
        {"\xe9", "\"\\u00e9\""},
    };
    for (const auto &row : strings) {
        std::string json;
        append_json(json, row.text);
        EXPECT_EQ(json, row.json);
    }
}

// The forms of the report, and what silences findings: each run's status and output.
TEST(Check, FormsAndSilencing) {
    const std::string tty =
        "-:3:6: note: a byte from 0x80 up: the program's commands are read in the Windows (ANSI) "
        "code page, a batch file in the console's (OEM) code page, so it may stand for another "
        "letter; save the script in the Windows code page, or keep such names ASCII "
        "[code-page]\n    3 | echo\\x09\\xe9 %A%\n      |         ^\n"
        "      = write lines 1-3 as: set \"A=1\"&echo\\x09\\xe9 1\n"
        "-:2:1: warning: set does not carry to the next line, so line 3, which uses A, does not "
        "see this value; write the value there in its place [variable]\n"
        "    2 | set A=1\n      | ^\n      = write lines 1-3 as: set \"A=1\"&echo\\x09\\xe9 1\n";
    const struct {
        std::vector<std::string_view> arguments;
        std::string script;
        int status;
        std::string out;
    } rows[] = {
        // The line, a caret under the column as the line is shown, the fix.
        {{"-"}, "@echo off\nset A=1\necho\t\xe9 %A%\n", 1, tty},
        {{"--color=always", "--severity=warning", "-"},
         "cd x\n",
         1,
         "\033[1m-:1:1: \033[m\033[1;35mwarning:\033[m cd does not carry to the next line; join "
         "the commands that need this folder with &&: cd /d X && cmd [\033[1;35mfolder\033[m]\n"
         "    1 | cd x\n      | \033[1;32m^\033[m\n"},
        {{"--format=gcc", "-"},
         "echo %1\n",
         1,
         "-:1:6: warning: %1 stands for an argument of the batch file (%0 for its name), and the "
         "program has none: it stays as written; put the value in its place [arguments]\n"},
        // No fix where --flatten cannot rewrite the script, or leaves the line as it is.
        {{"--format=tty", "-"},
         "echo %1\n",
         1,
         "-:1:6: warning: %1 stands for an argument of the batch file (%0 for its name), and the "
         "program has none: it stays as written; put the value in its place [arguments]\n"
         "    1 | echo %1\n      |      ^\n"},
        {{"--format=diff", "-"},
         "@echo off\r\nset A=1\r\necho %A%\r\necho b\r\n\r\n\r\n\r\necho c\r\nrem",
         0,
         "--- -\n+++ -\n@@ -1,9 +1,3 @@\n-@echo off\r\n-set A=1\r\n-echo %A%\r\n"
         "+set \"A=1\"&echo 1\r\n-echo b\r\n+set \"A=1\"&echo b\r\n-\r\n-\r\n-\r\n-echo c\r\n"
         "+set \"A=1\"&echo c\r\n-rem\n\\ No newline at end of file\n"},
        {{"--format=diff", "-"},
         "@echo off\necho a\necho b\necho c\necho d\necho e\necho f\necho g\nrem x\n",
         0,
         "--- -\n+++ -\n@@ -1,4 +1,3 @@\n-@echo off\n echo a\n echo b\n echo c\n"
         "@@ -6,4 +5,3 @@\n echo e\n echo f\n echo g\n-rem x\n"},
        {{"--format=diff", "-"},
         "@echo off\necho a\n",
         0,
         "--- -\n+++ -\n@@ -1,2 +1,1 @@\n-@echo off\n echo a\n"},
        {{"--format=diff", "-"}, "echo a\n", 1, ""},
        // A directive silences its rules on the next line, or, before the first command but
        // @echo off, in the whole script; a rule it does not know is a finding.
        {{"--format=gcc", "-"},
         "@echo off\n@rem norvane-check disable=folder,variable\ncd a\nset A=1\n"
         ":: norvane-check disable=arguments why\necho %1\necho %2\n",
         1,
         "-:7:6: warning: %2 stands for an argument of the batch file (%0 for its name), and "
         "the program has none: it stays as written; put the value in its place [arguments]\n"},
        {{"--format=gcc", "-"},
         "rem norvane-check disable=nosuch,folder\ncd a\ncd b\n",
         1,
         "-:1:27: warning: norvane-check has no rule nosuch, so this directive silences nothing "
         "by that name; write one of the rules man norvane-check lists [directive]\n"},
        {{"--format=gcc", "-"}, "REM  norvane-check  disable=folder\ncd a\n", 0, ""},
        {{"--format=gcc", "-"},
         "rem norvane-check: disable=folder\ncd a\n",
         1,
         "-:2:1: warning: cd does not carry to the next line; join the commands that need this "
         "folder with &&: cd /d X && cmd [folder]\n"},
        // The options do the same from the command line; the status counts what is shown.
        {{"--format=gcc", "--exclude=folder,arguments", "-"}, "cd a\necho %1\n", 0, ""},
        {{"--format=gcc", "--severity=error", "-"}, "cd a\n", 0, ""},
        {{"--format=gcc", "--severity", "note", "-"},
         "call x.bat\n",
         0,
         "-:1:1: note: what x.bat sets, its variables and its folder, does not reach the lines "
         "after this one, which each run alone [call-script]\n"},
        {{"--exclude=folder,nosuch", "-"}, "cd a\n", 2, ""},
        {{"--severity=all", "-"}, "cd a\n", 2, ""},
        {{"--color=red", "-"}, "cd a\n", 2, ""},
    };
    for (const auto &row : rows) {
        const run done = check(row.arguments, row.script);
        EXPECT_EQ(done.status, row.status) << row.script;
        EXPECT_EQ(done.out, row.out) << row.script;
    }
    // SARIF (validated whole by scripts/test-sarif.sh): a result counts columns in code points,
    // and carries the fix.
    const std::string sarif =
        check({"--format=sarif", "-"}, "@echo off\nset A=1\necho \xc3\xa9 %1 %A%\n").out;
    for (const char *part :
         {"{\"ruleId\": \"arguments\", \"ruleIndex\": 8, \"level\": \"warning\"",
          "\"artifactLocation\": {\"uri\": \"-\"}, \"region\": {\"startLine\": 3, "
          "\"startColumn\": 8}}}]",
          "\"deletedRegion\": {\"startLine\": 1, \"endLine\": 3}, \"insertedContent\": "
          "{\"text\": \"set \\\"A=1\\\"&echo \xc3\xa9  1\"}"})
        EXPECT_NE(sarif.find(part), std::string::npos) << part << "\n" << sarif;
}

// A stream that gives `text` and then fails.
std::FILE *failing_after(const std::string &text) {
    struct state {
        std::string text;
        std::size_t at = 0;
    };
    cookie_io_functions_t io{};
    io.read = [](void *cookie, char *buffer, std::size_t size) -> ssize_t {
        auto *s = static_cast<state *>(cookie);
        if (s->at == s->text.size()) {
            errno = EIO;
            return -1;
        }
        const std::size_t n = std::min(size, s->text.size() - s->at);
        std::memcpy(buffer, s->text.data() + s->at, n);
        s->at += n;
        return ssize_t(n);
    };
    io.close = [](void *cookie) {
        delete static_cast<state *>(cookie);
        return 0;
    };
    return fopencookie(new state{text}, "r", io);
}

TEST(Check, ExitStatusAndTotal) {
    const std::string flattens = "; --flatten can rewrite it\n";
    const auto blocked = [](const std::string &line) {
        return "; --flatten cannot rewrite it: " + line + " blocks it\n";
    };
    const struct {
        std::vector<std::string_view> arguments;
        std::string script;
        int status;
        std::string err;
    } rows[] = {
        {{"-"}, "echo hi\n", 0, "norvane-check: no findings in 1 file" + blocked("-:1")},
        {{"-"}, "@echo hi\n", 0, "norvane-check: no findings in 1 file" + flattens},
        {{"-"}, "", 0, "norvane-check: no findings in 1 file" + flattens},
        {{"-"}, "echo caf\xe9\n", 0, "norvane-check: 1 note in 1 file" + blocked("-:1")},
        {{"-"},
         std::string("echo a\0b\n", 9),
         1,
         "norvane-check: 1 warning in 1 file" + blocked("-:1")},
        {{"-"},
         "@echo off\nexit\necho a\n",
         1,
         "norvane-check: 1 warning in 1 file" + blocked("-:2")},
        {{"-", "--"},
         "cd x\ngoto y\n",
         1,
         "norvane-check: 1 error and 1 warning in 1 file" + blocked("-:1")},
        {{"--", "-x"},
         "",
         2,
         "norvane-check: -x: No such file or directory\nnorvane-check: 1 file could not be read\n"},
        {{"-", "/no/such.bat"},
         "cd x\n",
         2,
         "norvane-check: /no/such.bat: No such file or directory\n"
         "norvane-check: 1 warning in 1 file; 1 file could not be read" +
             blocked("-:1")},
        {{"/no/a\nb\x1b[2J.bat"},
         "",
         2,
         "norvane-check: /no/a\\x0ab\\x1b[2J.bat: No such file or directory\n"
         "norvane-check: 1 file could not be read\n"},
        {{"/"},
         "",
         2,
         "norvane-check: /: Is a directory\nnorvane-check: 1 file could not be read\n"},
        {{},
         "",
         2,
         "norvane-check: no script named: name one, or - for standard input "
         "(norvane-check --help)\n"},
        {{"--format=xml", "-"},
         "",
         2,
         "norvane-check: unknown format 'xml': it is tty, gcc, json, sarif or diff (norvane-check "
         "--help)\n"},
        {{"--format=", "-"},
         "",
         2,
         "norvane-check: unknown format '': it is tty, gcc, json, sarif or diff (norvane-check "
         "--help)\n"},
        {{"-x"}, "", 2, "norvane-check: unknown option '-x' (norvane-check --help)\n"},
        {{"-", "--formats"},
         "",
         2,
         "norvane-check: unknown option '--formats' (norvane-check --help)\n"},
        {{"-", "--format"},
         "",
         2,
         "norvane-check: unknown format '': it is tty, gcc, json, sarif or diff (norvane-check "
         "--help)\n"},
        {{"--help"}, "", 0, ""},
        {{"--flatten", "-", "-"},
         "",
         2,
         "norvane-check: --flatten takes one script (norvane-check --help)\n"},
        {{"--script-path=", "-"},
         "",
         2,
         "norvane-check: --script-path needs a path (norvane-check --help)\n"},
        {{"--flatten", "/no/such.bat"},
         "",
         2,
         "norvane-check: /no/such.bat: No such file or directory\n"},
        {{"--flatten", "-"}, "@echo off\nset X=1\necho %X%\n", 0, ""},
        {{"--flatten", "-"},
         "@echo off\ngoto x\n",
         1,
         "-:2:1: error: goto cannot be flattened: the program runs its lines in the order they "
         "stand; write them out in the order they should run [label]\n"
         "norvane-check: - cannot be flattened: each line above keeps it\n"},
    };
    for (const auto &row : rows) {
        const run done = check(row.arguments, row.script);
        EXPECT_EQ(done.status, row.status) << row.script;
        EXPECT_EQ(done.err, row.err) << row.script;
    }
    // The flattened script, with its own line ends; nothing where it cannot be flattened.
    EXPECT_EQ(check({"--flatten", "--script-path", "C:\\p\\s.bat", "-"},
                    "@echo off\r\nset X=1\r\necho %X% %~dp0\r\n")
                  .out,
              "set \"X=1\"&echo 1 C:\\p\\\r\n");
    EXPECT_EQ(check({"--flatten", "-"}, "@echo off\ngoto x\n").out, "");
    EXPECT_EQ(check({"--format=gcc", "-"}, "cd x\n").out,
              "-:1:1: warning: cd does not carry to the next line; join the commands that need "
              "this folder with &&: cd /d X && cmd [folder]\n");
    // A read that fails part way: what was shown counts.
    const run failed = check({"-"}, "", failing_after("cd a\ncd b\ncd c\n"));
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.err, "norvane-check: -: Input/output error\n"
                          "norvane-check: 3 warnings; 1 file could not be read\n");
}

// Each file is closed once checked: 40 of them under a limit of 20 open files.
TEST(Check, ManyFilesUnderALowLimit) {
    temp_dir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        std::string name = std::to_string(i);
        name += ".bat";
        names.push_back(dir / name);
        std::ofstream(names.back()) << "cd x\n";
    }
    std::vector<std::string_view> arguments(names.begin(), names.end());
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    rlimit low = before;
    low.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const run done = check(arguments);
    setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(done.err, "norvane-check: 40 warnings in 40 files; --flatten can rewrite 0 of "
                        "them; " +
                            names.front() + ":1 blocks the first it cannot\n");
}

} // namespace
