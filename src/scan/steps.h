// The scan of command lines, the same for every way of classifying bytes. Each way's file
// includes it inside an anonymous namespace within the way's own, after every header it needs
// and under the processor options of its classification, defines classify() there, and hands
// its fast step to scan_commands.
//
// The text of a command line stands between `\tsystem("` and `");\n`, escaped so that the
// compiled program hands system() exactly the typed bytes: '"', '\\' and a '?' right after a '?'
// (no trigraph may form) get a backslash; control bytes other than tab, 0x7F and bytes from 0x80
// up that must not stand as they are become three-digit octal escapes, which cannot swallow a
// following digit. A line feed, or a carriage return and a line feed, closes the call and opens
// the next one at once; the opening is taken back where no line follows.
//
// The input is taken 64 bytes at a time, a step, classified into masks, bit i for byte i (here _
// is a space, $ a line feed and # a byte from 0x80 up):
//
//   bytes            e c h o _ " a ? ? b $ e n d _ \ # \ # # x
//   line_feed        . . . . . . . . . . 1 . . . . . . . . . .
//   quoted           . . . . . 1 . . . . . . . . . 1 . 1 . . .   '"' and '\\'
//   question         . . . . . . . 1 1 . . . . . . . . . . . .
//   high             . . . . . . . . . . . . . . . . 1 . 1 1 .
//   carriage_return  (none here)
//   other_control    (none here: control bytes but tab, line feed and carriage return; 0x7F)
//
// From them:
//   second '?' = question & (question << 1 | the byte before the step was '?')
//   escaped    = quoted | second '?'     (a backslash, then the byte itself)
//
// Most steps hold nothing but plain bytes, escaped bytes and line ends: the fast step writes
// them, either visiting each marked byte and copying the runs between them whole, or escaping
// the whole step at once and visiting only its line ends. A line end is followed by the
// terminator only where "end" comes next, which one comparison rules out for most of them.
// Every other step takes the general step: one with a lone carriage return, another control
// byte or a byte from 0x80 up, one cut short by the end of what can be decided, and one that
// begins a line starting with 'e', whose line end is out of view. It marks what needs a look:
//
//   special    = line_feed | carriage_return | other_control | quoted
//   look       = special | second '?' | high & ((special | second '?') >> 1 | bit 63)
//              . . . . . 1 . . 1 . 1 . . . . 1 1 1 . . .
//
// A byte from 0x80 up needs a look only right before a byte whose text starts with a backslash
// or ends the line, or as the last of the step, whose follower is out of view; the look then
// decides its whole run (the high-byte run). The run "# #" before x is not marked, so stays as it
// is. Any line starting with 'e' right after a line end is checked for the terminator.

struct byte_masks {
    std::uint64_t line_feed, carriage_return, quoted, question, other_control, high;
};

// Each way of classifying defines this.
byte_masks classify(const char *bytes);

constexpr char call_start[] = "\tsystem(\"";
constexpr std::size_t call_start_size = sizeof call_start - 1;
constexpr char call_end[] = "\");\n";
constexpr std::size_t line_break_size = sizeof call_end - 1 + call_start_size;
// The most one step writes: a line break for each byte but the last, then a run of bytes from 0x80
// up copied whole, and the 128 bytes the widest fixed-size copy may write past its end; then the
// call's opening and close, which a call adds before its first step and after its last.
static_assert(text_room >= 63 * line_break_size + longest_held_run + 128 + line_break_size,
              "room past the text limit for one step");

// What each byte is written as where it is not copied as it is: 16 bytes a text, copied whole.
struct mark_table {
    alignas(16) char text[256][16];
    unsigned char size[256];
};

constexpr mark_table make_marks() {
    mark_table table{};
    for (int b = 0; b < 256; ++b) {
        char *text = table.text[b];
        if (b == '"' || b == '\\' || b == '?') {
            text[0] = '\\';
            text[1] = char(b);
            table.size[b] = 2;
        } else if (b == '\n') {
            for (std::size_t i = 0; i < line_break_size; ++i)
                text[i] = i < sizeof call_end - 1 ? call_end[i] : call_start[i - 4];
            table.size[b] = line_break_size;
        } else {
            text[0] = '\\';
            text[1] = char('0' + (b >> 6));
            text[2] = char('0' + ((b >> 3) & 7));
            text[3] = char('0' + (b & 7));
            table.size[b] = 4;
        }
    }
    return table;
}

constexpr mark_table marks = make_marks();

bool is_high(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}

// Whether the text of byte `c`, after a byte from 0x80 up, starts with a backslash or ends the
// command: a '?' there is never a second one, so it is not among these.
bool ends_or_escapes(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t') || b == 0x7F || b == '"' || b == '\\';
}

int lowest_bit(std::uint64_t bits) {
    return __builtin_ctzll(bits);
}

// The line ends of a step, a bit each: a carriage return and the line feed after it are one,
// marked at the carriage return (also in `crlf`), any other line feed alone.
struct line_end_masks {
    std::uint64_t at, crlf;
};

line_end_masks line_ends(const byte_masks &m) {
    const std::uint64_t crlf = m.carriage_return & m.line_feed >> 1;
    return {(m.line_feed & ~(crlf << 1)) | crlf, crlf};
}

// 64 bytes from `from` copied with one copy of fixed size, of which those before `to` (at most
// 64 on) are kept: the caller's buffers have room for all 64, and what lies past `to` is written
// over next.
char *copy_64_keeping(char *text, const char *from, const char *to) {
    std::memcpy(text, from, 64);
    return text + (to - from);
}

template <std::size_t size> char *copy_text(char *text, const char (&fixed)[size]) {
    std::memcpy(text, fixed, size - 1);
    return text + size - 1;
}

char *write_mark(char *text, char c) {
    const auto b = static_cast<unsigned char>(c);
    std::memcpy(text, marks.text[b], sizeof marks.text[b]);
    return text + marks.size[b];
}

char *write_octal(char *text, const char *from, const char *to) {
    for (; from != to; ++from) {
        std::memcpy(text, marks.text[static_cast<unsigned char>(*from)], 4);
        text += 4;
    }
    return text;
}

// The terminator check: the length of the terminator line at `line`, line end included, or 0
// where it is none.
std::size_t terminator_at(const char *line, const char *to, input_end then) {
    const auto size = static_cast<std::size_t>(to - line);
    if (line[0] != 'e' || size < 3 || std::memcmp(line, "end", 3) != 0) return 0;
    if (size >= 4 && line[3] == '\n') return 4;
    if (size >= 5 && line[3] == '\r' && line[4] == '\n') return 5;
    return then == input_end::at_end && (size == 3 || (size == 4 && line[3] == '\r')) ? size : 0;
}

// Whether a line feed and "end" start at `line_feed`: most line ends are ruled out by this one
// load, and only the rest need the terminator check.
bool line_feed_then_end(const char *line_feed) {
    std::uint32_t four;
    std::memcpy(&four, line_feed, 4);
    std::uint32_t line_feed_end;
    std::memcpy(&line_feed_end, "\nend", 4);
    return __builtin_expect(four == line_feed_end, 0);
}

// Where the bytes start that cannot be decided before more input comes (`to` if there are none).
const char *undecided_tail(const command_state &state, const char *from, const char *to) {
    if (from == to) return to;
    // A line that so far reads as the start of "end\r\n" may still be the terminator.
    for (std::size_t size = 1; size <= 4 && size <= std::size_t(to - from); ++size) {
        const char *line = to - size;
        const bool line_start = line == from ? !state.in_command : line[-1] == '\n';
        if (line_start && std::memcmp(line, "end\r", size) == 0) return line;
    }
    if (to[-1] == '\r') return to - 1; // perhaps the first half of a line end
    // A run of bytes from 0x80 up waits for the byte after it, unless it is too long to hold.
    const char *run = to;
    while (run != from && is_high(run[-1]) && std::size_t(to - run) <= longest_held_run)
        --run;
    const bool too_long =
        std::size_t(to - run) > longest_held_run || (run == from && state.octal_run);
    return too_long ? to : run;
}

// Where a scan stands: the input before `p` is written, up to `text`.
struct scan {
    command_state &state;
    const char *from, *to;
    const char *cut; // the end of what can be decided now
    input_end then;
    const char *p;
    char *text;

    // The second '?' of each pair in the step, whose backslash keeps a trigraph from forming; the
    // first of the step pairs with a '?' before the step.
    std::uint64_t second_questions(const byte_masks &m) const {
        const bool question_before = p == from ? state.after_question : p[-1] == '?';
        return m.question & (m.question << 1 | question_before);
    }

    // Notes whether a run of bytes from 0x80 up written in octal up to `written` goes on: past
    // the end of the step, which came first (`run_ends_there` false), or past the input, where
    // more follows.
    void note_octal_run(const char *written, bool run_ends_there) {
        state.octal_run = !run_ends_there || (written == to && then == input_end::more);
    }
};

// How a step ended: at the terminator line, when it found one.
struct step_end {
    const char *terminator = nullptr;
    std::size_t terminator_size = 0;
};

// The fast step by its marks: line ends, escaped bytes. Each is written from the mark table, so
// that no kind of mark needs a branch of its own.
[[maybe_unused]] step_end fast_step_by_marks(scan &s, const byte_masks &m) {
    std::uint64_t look = line_ends(m).at | m.quoted | s.second_questions(m);
    const char *plain = s.p; // the first byte not written yet
    for (; look; look &= look - 1) {
        const char *at = s.p + lowest_bit(look);
        const bool crlf_at = *at == '\r'; // the only carriage returns marked here
        s.text = write_mark(copy_64_keeping(s.text, plain, at), crlf_at ? '\n' : *at);
        plain = at + 1 + crlf_at;
        if (line_feed_then_end(plain - 1))
            if (const std::size_t size = terminator_at(plain, s.to, s.then)) return {plain, size};
    }
    s.text = copy_64_keeping(s.text, plain, s.p + 64);
    s.p += 64;
    return {};
}

bool fits_fast_step(const scan &s, const byte_masks &m) {
    const std::uint64_t lone_carriage_return = m.carriage_return & ~(m.line_feed >> 1);
    const bool begins_e_line = s.p != s.from && s.p[-1] == '\n' && s.p[0] == 'e';
    return !(m.other_control | m.high | lone_carriage_return) && s.cut - s.p >= 64 &&
           !begins_e_line;
}

// The last of a run of bytes from 0x80 up in view, at `at`: the run is octal as a whole when the
// byte after it escapes or ends the command, or when it is too long to hold. Its bytes before
// `at` are already written as they are. Returns the end of what is written: the end of the run,
// or of the step where an octal run goes on past it, whose rest the next steps write
// (finish_octal_run), so that no step writes more than a step's worth of octal.
const char *write_high_run(scan &s, const char *at) {
    const char *run = at;
    while (run != s.from && is_high(run[-1]))
        --run;
    // Looked for no further than what tells a run too long to hold.
    const char *const looked_up_to =
        s.cut - run > std::ptrdiff_t(longest_held_run) ? run + longest_held_run + 1 : s.cut;
    const char *run_end = std::find_if_not(at + 1, looked_up_to, is_high);
    if (run_end == looked_up_to || ends_or_escapes(*run_end)) {
        const char *const written = std::min(run_end, s.p + 64);
        s.text = write_octal(s.text - (at - run), run, written);
        s.note_octal_run(written, written == run_end);
        return written;
    }
    std::memcpy(s.text, at, std::size_t(run_end - at));
    s.text += run_end - at;
    return run_end;
}

// The first line in the step starting with 'e' that is the terminator, if any; a line starting
// with the step is not among them where it starts the input, whose first line is checked first.
step_end find_terminator(const scan &s, const byte_masks &m, std::size_t in_view) {
    std::uint64_t starts = m.line_feed << 1 | (s.p != s.from && s.p[-1] == '\n');
    if (in_view < 64) starts &= (std::uint64_t(1) << in_view) - 1;
    for (; starts; starts &= starts - 1) {
        const char *line = s.p + lowest_bit(starts);
        if (line[0] != 'e') continue;
        if (const std::size_t size = terminator_at(line, s.to, s.then)) return {line, size};
    }
    return {};
}

// The general step: every marked byte is looked at one by one.
step_end general_step(scan &s, const byte_masks &m) {
    const std::uint64_t special = m.line_feed | m.carriage_return | m.other_control | m.quoted;
    std::uint64_t look = special | s.second_questions(m);
    look |= m.high & (look >> 1 | std::uint64_t(1) << 63);
    auto in_view = std::min<std::size_t>(std::size_t(s.cut - s.p), 64);
    const step_end found = find_terminator(s, m, in_view);
    if (found.terminator) in_view = std::size_t(found.terminator - s.p); // the marks stop there
    if (in_view < 64) { // bytes past the cut are not ours, nor in view as followers
        look |= m.high & (std::uint64_t(1) << in_view >> 1); // the last in view, if any
        look &= (std::uint64_t(1) << in_view) - 1;
    }
    const char *plain = s.p; // the first byte not written yet
    while (look) {
        const char *at = s.p + lowest_bit(look);
        s.text = copy_64_keeping(s.text, plain, at);
        plain = at + 1;
        if (is_high(*at)) {
            plain = write_high_run(s, at);
            const auto taken = static_cast<std::size_t>(plain - s.p);
            look = taken < 64 ? look & ~std::uint64_t(0) << taken : 0;
            continue;
        }
        if (*at != '\r') {
            s.text = write_mark(s.text, *at);
        } else if (plain != s.to && *plain != '\n') { // dropped before a line feed, which ends it
            s.text = write_octal(s.text, at, plain);
        }
        look &= look - 1;
    }
    if (plain < s.p + in_view) s.text = copy_64_keeping(s.text, plain, s.p + in_view);
    s.p = std::max(plain, s.p + in_view);
    return found;
}

// Up to a step's worth more of a run of bytes from 0x80 up that is written in octal, begun by an
// earlier step or call.
void finish_octal_run(scan &s) {
    const char *const step_end = s.p + std::min<std::ptrdiff_t>(s.cut - s.p, 64);
    const char *run_end = std::find_if_not(s.p, step_end, is_high);
    s.text = write_octal(s.text, s.p, run_end);
    s.note_octal_run(run_end, run_end != step_end || step_end == s.cut);
    s.p = run_end;
}

// Every line feed opens the next call at once. Where no line follows in view, or the next line
// is the terminator, that opening is taken back.
void take_back_opening(scan &s, const char *line) {
    if (line == s.from || line[-1] != '\n') return;
    s.text -= call_start_size;
    s.state.in_command = false;
}

// write_commands, for this way of classifying and this fast step: the step loop.
template <step_end (*fast_step)(scan &, const byte_masks &)>
commands_written scan_commands(command_state &state, const char *from, const char *to,
                               input_end then, char *text, const char *text_limit) {
    scan s{state, from, to,  then == input_end::more ? undecided_tail(state, from, to) : to,
           then,  from, text};
    if (!state.in_command && s.p != s.cut) {
        if (const std::size_t size = terminator_at(s.p, to, then))
            return {s.p + size, s.text, stop_reason::terminator};
        s.text = copy_text(s.text, call_start);
        state.in_command = true;
    }
    while (s.p < s.cut) {
        step_end end;
        if (state.octal_run) {
            finish_octal_run(s);
        } else {
            const byte_masks m = classify(s.p);
            end = fits_fast_step(s, m) ? fast_step(s, m) : general_step(s, m);
        }
        if (end.terminator) {
            take_back_opening(s, end.terminator);
            return {end.terminator + end.terminator_size, s.text, stop_reason::terminator};
        }
        if (s.text > text_limit && s.p < s.cut) {
            take_back_opening(s, s.p);
            state.after_question = s.p[-1] == '?';
            return {s.p, s.text, stop_reason::text_full};
        }
    }
    take_back_opening(s, s.p);
    if (s.p != from) state.after_question = s.p[-1] == '?';
    if (then != input_end::more && state.in_command) { // a last line without a line end
        s.text = copy_text(s.text, call_end);
        state.in_command = false;
    }
    return {s.p, s.text, stop_reason::needs_input};
}
