// norvane-check: for each rule, lines it must flag and near misses it must not, with the line
// and column of each finding; the JSON form; the exit statuses.
#include "check/cli.h"
#include "check/script_checker.h"
#include "check/script_lines.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// "LINE:COLUMN rule" of each finding, in the order reported.
std::string findings_of(std::string_view script) {
    std::string found;
    script_checker checker([&](const finding &f) {
        found += (found.empty() ? "" : ", ") + std::to_string(f.line) + ":" +
                 std::to_string(f.column) + " " + rule_of(f.message);
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
        {"echo a\nend\necho b\n", "2:1 end-line"},
        {"echo a\nend\n\n \n", ""},
        {" end\nend \necho\n", ""},
        {"echo a\x1a\necho b\n", "1:7 eof-mark"},
        {"echo a\x1a"
         "echo b",
         "1:7 eof-mark"},
        {"echo a\n\x1a\n\x1a \n", ""},
        {"echo a\rb\recho c\r\n", "1:7 cr-only"},
        {"echo a\r\necho b\r", ""},
        {"\xef\xbb\xbf"
         "cd x\n",
         "1:1 bom, 1:4 folder"},
        {"echo \xef\xbb\xbf\n", "1:6 code-page"},
        {"if exist x (\n  echo in\n\n  rem (\n) else (\n:: x\necho out)\n",
         "1:12 block, 2:3 block, 5:1 block, 7:9 block"},
        {"for %%f in (a) do (\necho %%f\n)", "1:5 loop-variable, 1:19 block, 2:1 block, "
                                             "2:6 loop-variable, 3:1 block"},
        {"echo one ^\ntwo\n", "1:10 block, 2:1 block"},
        {"if a^\nif a==^\nrem a ^\necho \"^\"\necho ^^\necho ^^^\n",
         "1:5 block, 2:1 block, 2:7 block, 3:1 block, 3:7 block, 4:1 block, 6:8 block"},
        {"if exist x (echo a) else (echo b)\necho (a) \"(\" ^(\necho \"a ^\"\necho :)\n)\necho\n",
         ""},
        {"cd \"a & b\"\nif exist x (\necho \")\"\n)\n",
         "1:1 folder, 2:12 block, 3:1 block, 4:1 block"},
        {"goto done\n:done\ncall :sub\ngoto:eof\n", "1:1 label, 2:1 label, 3:1 label, 4:1 label"},
        {"echo goto x\n:: note\nrem goto x\n: \n", ""},
        {"for %%f in (a b) do echo %%~nxf\n", "1:5 loop-variable, 1:26 loop-variable"},
        {"echo 100%% done\necho \"for %%i in (a) do x\"\n", "1:9 percent, 2:11 percent"},
        {"for %f in (a) do echo %f\n", ""},
        {"echo %1 %* %~dp0 %~nx0\nshift\n",
         "1:6 arguments, 1:9 arguments, 1:12 arguments, 1:18 arguments, 2:1 arguments"},
        {"echo %PATH% %~f 100%\necho shift\n", ""},
        {"cd build\nchdir x\npushd y\npopd\nD:\ncd..\nif exist x cd x\n",
         "1:1 folder, 2:1 folder, 3:1 folder, 4:1 folder, 5:1 folder, 6:1 folder, 7:12 folder"},
        {"cd /d X && make\npushd x & dir\nD: & dir\necho cd x\nrem cd x\nDD:\ncd \n", ""},
        {"set X=1\necho %x%\n", "1:1 variable"},
        {"set \"A=1\"\nset /a N+=1\nset /p Q=?\n", "1:1 variable, 2:1 variable, 3:1 variable"},
        {"set X=1 && prog\nset\nset Y\nset =a\necho set X=1\nsetx A 1\n", ""},
        {"echo !X! !a:b=c!\n", "1:6 delayed, 1:10 delayed"},
        {"echo Hello! World! wow!!\n", ""},
        {"setlocal enabledelayedexpansion\nendlocal\n", "1:1 setlocal, 2:1 setlocal"},
        {"if errorlevel 1 echo x\nif /i not errorlevel 1 echo y\necho %ERRORLEVEL%\n",
         "1:4 errorlevel, 2:11 errorlevel, 3:6 errorlevel"},
        {"prog & if errorlevel 1 echo x\nprog || echo failed\n", ""},
        {"exit /b 1\necho after\n", "1:1 exit"},
        {"echo a\nexit\n\nrem done\n:: eof\n", ""},
        {"\"C:\\my tools\\x.exe\" \"a b\"\n\"a\" b\n", "1:1 quotes, 2:1 quotes"},
        {"@\"C:\\my tools\\x.exe\" \"a b\"\n\"C:\\my tools\\x.exe\"\n \"a\" \"b\"\n", ""},
        {"echo " + x8186 + "y\n", "1:8192 long-line"},
        {"echo " + x8186 + "\n", ""},
        {std::string("echo a\0b\0\n", 10), "1:7 nul"},
        {std::string("rem a\0b\n", 8), ""},
        {"call build.bat\ncall \"x y.CMD\" a\n", "1:1 call-script, 2:1 call-script"},
        {"call prog.exe\necho call a.bat\ncall .bat\n", ""},
        {"rem caf\xe9\necho caf\xe9\necho \xe9\n", "2:9 code-page"},
        {"rem %1 %%f !x! cd\n:: %1 set x=1\necho a & rem %1 cd\n", ""},
        // What a later line decides comes after that line's own findings.
        {"set X=1\ncd a\necho %X%\nexit\necho %1\n",
         "2:1 folder, 1:1 variable, 5:6 arguments, 4:1 exit"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(findings_of(row.script), row.found) << row.script;
}

// What the messages name: the first later use of a variable, or the line that sets it again.
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
              "set does not carry to the next line; join it with the commands that need A: set "
              "\"A=...\" && cmd\n"
              "set does not carry to the next line; join it with the commands that need N: set "
              "\"N=...\" && cmd\n");
}

struct run {
    int status;
    std::string out, err;
};

run check(std::vector<std::string_view> arguments, std::string_view standard_input = "") {
    std::FILE *in = file_of(standard_input), *out = std::tmpfile(), *err = std::tmpfile();
    const int status = run_check(arguments, {in, out, err});
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
}

TEST(Check, ExitStatusAndTotal) {
    const struct {
        std::vector<std::string_view> arguments;
        std::string script;
        int status;
        std::string err;
    } rows[] = {
        {{"-"}, "echo hi\n", 0, "norvane-check: no findings in 1 file\n"},
        {{"-"}, "", 0, "norvane-check: no findings in 1 file\n"},
        {{"-"}, "echo caf\xe9\n", 0, "norvane-check: 1 note in 1 file\n"},
        {{"-", "--"}, "cd x\ngoto y\n", 1, "norvane-check: 1 error and 1 warning in 1 file\n"},
        {{"-", "/no/such.bat"},
         "cd x\n",
         2,
         "norvane-check: /no/such.bat: No such file or directory\n"
         "norvane-check: 1 warning in 1 file; 1 file could not be read\n"},
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
         "norvane-check: unknown format 'xml': it is gcc or json (norvane-check --help)\n"},
        {{"-x"}, "", 2, "norvane-check: unknown option '-x' (norvane-check --help)\n"},
        {{"-", "--formats"},
         "",
         2,
         "norvane-check: unknown option '--formats' (norvane-check --help)\n"},
        {{"-", "--format"},
         "",
         2,
         "norvane-check: unknown format '': it is gcc or json (norvane-check --help)\n"},
        {{"--help"}, "", 0, ""},
    };
    for (const auto &row : rows) {
        const run done = check(row.arguments, row.script);
        EXPECT_EQ(done.status, row.status) << row.script;
        EXPECT_EQ(done.err, row.err) << row.script;
    }
    EXPECT_EQ(check({"-"}, "cd x\n").out, "-:1:1: warning: cd does not carry to the next line; "
                                          "join the commands that need this folder with &&: "
                                          "cd /d X && cmd [folder]\n");
}

} // namespace
