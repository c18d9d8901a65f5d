// norvane-check --flatten: each rewrite and each refusal, a script in and the flattened script,
// or "LINE:COLUMN rule" of each line that keeps it from being flattened, out.
#include "flatten/flattener.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string flattened(std::string_view script, std::string script_path = {}) {
    std::string out, refused;
    flattener f(
        {std::move(script_path)},
        [&](std::string_view text, std::string_view end) { out.append(text).append(end); },
        [&](const finding &r) {
            refused += (refused.empty() ? "refused: " : ", ") + std::to_string(r.line) + ":" +
                       std::to_string(r.column) + " " + rule_of(r.message);
        });
    while (!script.empty()) {
        const std::size_t end = std::min(script.find('\n'), script.size());
        std::string_view line = script.substr(0, end);
        const bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.remove_suffix(1);
        f.add_line(line, end == script.size() ? "" : cr ? "\r\n" : "\n");
        script.remove_prefix(std::min(end + 1, script.size()));
    }
    f.finish();
    return refused.empty() ? out : refused;
}

TEST(Flatten, EachRewriteAndEachRefusal) {
    const struct {
        std::string script, out;
    } rows[] = {
        // Noise: what runs nothing, and what ends the script at its end.
        {"@echo off\nrem c\n\n:: x\n:unused\nsetlocal\necho hi\nendlocal\nexit /b 1\n",
         "echo hi\n"},
        {"@echo off\r\necho a\r\ngoto :eof\r\n", "echo a\r\n"},
        {"@echo off\necho off\n@echo a\n", "@echo a\n"},
        // Values carried into the lines that read them, and in front of every later line.
        {"@echo off\nset X=a b \necho [%X%]\nset X=\necho [%x%]\n",
         "set \"X=a b \"&echo [a b ]\nset \"X=\"&echo []\n"},
        {"@echo off\nset A=alpha\nset B=%A%-%A:~1,3%-%A:~-2%-%A:ph=PH%-%A:*l=L%\necho %B%\n",
         "set \"A=alpha\"&set \"B=alpha-lph-ha-alPHa-Lpha\"&echo alpha-lph-ha-alPHa-Lpha\n"},
        {"@echo off\nset A=alala\necho %A:*l=L% %A:L=_%\n", "set \"A=alala\"&echo Lala a_a_a\n"},
        {"@echo off\nsetlocal\ncd x\nset X=" + std::string(8180, 'x') + "\nendlocal\necho hi\n",
         "echo hi\n"},
        {"@echo off\nset \"A=x^&y\" ignored\nset B=p^&q\necho %A% %B%\n",
         "set \"A=x^&y\"&set \"B=p&q\"&echo x^&y p&q\n"},
        {"@echo off\nset P=%PATH%;C:\\bin\npath %P%\necho %PATH%\n",
         "set \"P=%PATH%;C:\\bin\"&set \"PATH=%PATH%;C:\\bin\"&echo %PATH%;C:\\bin\n"},
        {"@echo off\nset X=1 & echo [%X%]\n", "refused: 2:17 variable"},
        {"@echo off\nver >nul && echo ok & set Y=1& ver\necho [%Y%]\n",
         "ver >nul && echo ok & set Y=1& ver\nset \"Y=1\"&echo [1]\n"},
        {"@echo off\nset =a\necho hi\n", "set =a\necho hi\n"},
        // Folders carried: their messages once, then sent to nul.
        {"@echo off\ncd sub\necho a\npushd x\ndir\npopd\nD:\necho b\n",
         "cd sub&echo a\ncd sub 2>nul&pushd x&dir\n"
         "cd sub 2>nul&pushd x 2>nul&popd&D:&echo b\n"},
        {"@echo off\ncd sub & echo a\necho b\ncd\n",
         "cd sub & echo a\ncd sub 2>nul&echo b\ncd sub 2>nul&cd\n"},
        {"@echo off\ncd x | more\necho b\n", "cd x | more\necho b\n"},
        // Blocks and ^ joins as one line; a for's set over lines with blanks.
        {"@echo off\nif exist a (\n  echo one\n  rem c\n\n  echo two\n) else (\n  echo t\n)\n",
         "if exist a (  echo one&  echo two) else (  echo t)\n"},
        {"@echo off\nfor %%a in (\n one\n two\n) do echo %%a\n",
         "for %a in (  one  two ) do echo %a\n"},
        {"@echo off\necho one ^\ntwo\n", "echo one ^two\n"},
        // % forms: a batch file's, as a command line writes them.
        {"@echo off\necho 100%% %%~nf 50%\nfor %%f in (*) do echo %%~nxf\n",
         "echo 100% %~nf 50\nfor %f in (*) do echo %~nxf\n"},
        {"@echo off\necho %OS% %SystemRoot:~0,2% %CD% %DATE%\n",
         "echo %OS% %SystemRoot:~0,2% %CD% %DATE%\n"},
        // Arguments: none but the script's own path.
        {"@echo off\necho [%1][%*][%~2]\nshift\necho [%1]\n", "echo [][][]\necho []\n"},
        // Status: a test joined onto the line it tests.
        {"@echo off\nprog\nif errorlevel 1 echo failed\nif errorlevel 2 echo two\n",
         "refused: 4:4 errorlevel"},
        {"@echo off\nset A=1\nprog\nif errorlevel 1 echo %A%\n",
         "set \"A=1\"&prog&if errorlevel 1 echo 1\n"},
        // Quotes cmd /c would take off, and a line norvane would end at.
        {"@echo off\n\"my prog\" \"a b\"\nend\n", "@\"my prog\" \"a b\"\n@end\n"},

        // What cannot be flattened.
        {"echo hi\n", "refused: 1:1 echo"},
        {"@echo off\necho\necho on\n", "refused: 2:1 echo, 3:1 echo"},
        {"@echo off\ngoto x\n:x\ncall :y\ncall b.bat\n", "refused: 2:1 label, 4:1 call, 5:1 call"},
        {"@echo off\nb.bat\necho after\n", "refused: 2:1 call-script"},
        {"@echo off\necho first\nb.cmd\n", "echo first\nb.cmd\n"},
        {"@echo off\nset /p X=?\nset /a N=1\n", "refused: 2:1 variable, 3:1 arithmetic"},
        {"@echo off\nif exist a set X=1\necho b\n", "refused: 2:12 variable"},
        {"@echo off\nfor %%a in (x) do cd %%a\necho b\n", "refused: 2:19 folder"},
        {"@echo off\nif exist a (set X=1) else (set X=2)\n", "refused: 2:1 flatten"},
        {"@echo off\necho %UNSET% %1x%\n", "refused: 2:6 variable"},
        {"@echo off\ncd x\necho %CD% %ERRORLEVEL% %CMDCMDLINE%\n",
         "refused: 3:6 variable, 3:11 variable, 3:24 variable"},
        {"@echo off\necho %0 %~dp0 %~s0\n",
         "refused: 2:6 arguments, 2:9 arguments, 2:15 arguments"},
        {"@echo off\nshift\necho %~dp0\n", "refused: 3:6 arguments"},
        {"@echo off\necho 50%%a%%\n", "refused: 2:8 percent"},
        {"@echo off\nsetlocal enabledelayedexpansion\necho !X!\n", "refused: 3:6 delayed"},
        {"@echo off\nsetlocal enabledelayedexpansion\nendlocal\necho a!\n", "echo a!\n"},
        {"@echo off\nexit /b\necho after\n", "refused: 2:1 exit"},
        {"@echo off\nif errorlevel 1 echo x\n", "refused: 2:4 errorlevel"},
        {"@echo off\nif exist a echo a\nif errorlevel 1 echo x\n", "refused: 3:4 errorlevel"},
        {"@echo off\nif exist a (\n:x\necho a & rem c\necho b &\n)\n",
         "refused: 3:1 block, 4:1 block, 5:1 block"},
        {"@echo off\necho " + std::string(8200, 'x') + "\n", "refused: 2:1 long-line"},
        {"@echo off\necho a\x1a\n", "refused: 2:7 eof-mark"},
        {std::string("@echo off\nset A=a\0b\ncd c\0d\necho x\n", 34),
         "refused: 2:1 flatten, 3:1 flatten"},
        {"@echo off\nset OUT!=T\necho a!b\n", "refused: 2:1 syntax"},
        {"@echo off\nset A=5%%\necho b%%\n", "refused: 2:1 syntax"},
        {"@echo off\ncd t (x\ncd \"a\necho b\n", "refused: 2:1 syntax, 3:1 syntax"},
        {"@echo off\nset A=" + std::string(8200, 'x') + "\nset A=%A%b\necho %A%\n",
         "refused: 2:1 long-line, 3:7 variable, 4:1 echo"},
        {"@echo off\nsetlocal disableextensions\n", "refused: 2:1 setlocal"},
        {"@echo off\ncd x\nmkdir y\n", "refused: 3:1 syntax"},
        {"@echo off\n) echo x\n", "refused: 2:1 syntax"},
        {"@echo off\nif exist a (\necho a\n", "refused: 2:1 syntax"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(flattened(row.script), row.out) << row.script.substr(0, 200);
}

TEST(Flatten, ScriptPathForms) {
    const struct {
        std::string path, script, out;
    } rows[] = {
        {"C:\\proj\\build.bat", "@echo off\necho %~f0|%~dp0|%~nx0|%~n0|%~x0|%~d0|%~pnx0\n",
         "echo C:\\proj\\build.bat|C:\\proj\\|build.bat|build|.bat|C:|\\proj\\build.bat\n"},
        {"C:\\a.b\\name", "@echo off\necho [%~x0][%~n0]\n", "echo [][name]\n"},
        {"build.bat", "@echo off\necho %~dp0\n", "refused: 2:6 arguments"},
        {"C:\\proj\\..\\build.bat", "@echo off\necho %~dp0\n", "refused: 2:6 arguments"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(flattened(row.script, row.path), row.out) << row.path;
}

} // namespace
