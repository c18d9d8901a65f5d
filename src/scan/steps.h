// The steps of the scan of command lines and their loop, the same for every way of classifying
// bytes. Each way's file includes it inside an anonymous namespace within the way's own, after
// every header it needs (among them the escapes of scan/escapes.h and the line rules of
// scan/lines.h) and under the processor options of its classification, defines classify()
// there, and hands its fast step to scan_commands.
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

// The most one step writes: a line break for each byte but the last, then a run of bytes from 0x80
// up copied whole, and the 128 bytes the widest fixed-size copy may write past its end; then the
// call's opening and close, which a call adds before its first step and after its last.
static_assert(text_room >= 63 * line_break_size + longest_held_run + 128 + line_break_size,
              "room past the text limit for one step");

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

// Where a call of the scan stands: the input before `p` is written, up to `text`.
struct cursor {
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
[[maybe_unused]] step_end fast_step_by_marks(cursor &c, const byte_masks &m) {
    std::uint64_t look = line_ends(m).at | m.quoted | c.second_questions(m);
    const char *plain = c.p; // the first byte not written yet
    for (; look; look &= look - 1) {
        const char *at = c.p + lowest_bit(look);
        const bool crlf_at = *at == '\r'; // the only carriage returns marked here
        c.text = write_mark(copy_64_keeping(c.text, plain, at), crlf_at ? '\n' : *at);
        plain = at + 1 + crlf_at;
        if (line_feed_then_end(plain - 1))
            if (const std::size_t size = terminator_at(plain, c.to, c.then)) return {plain, size};
    }
    c.text = copy_64_keeping(c.text, plain, c.p + 64);
    c.p += 64;
    return {};
}

bool fits_fast_step(const cursor &c, const byte_masks &m) {
    const std::uint64_t lone_carriage_return = m.carriage_return & ~(m.line_feed >> 1);
    const bool begins_e_line = c.p != c.from && c.p[-1] == '\n' && c.p[0] == 'e';
    return !(m.other_control | m.high | lone_carriage_return) && c.cut - c.p >= 64 &&
           !begins_e_line;
}

// The last of a run of bytes from 0x80 up in view, at `at`: the run is octal as a whole when the
// byte after it escapes or ends the command, or when it is too long to hold. Its bytes before
// `at` are already written as they are. Returns the end of what is written: the end of the run,
// or of the step where an octal run goes on past it, whose rest the next steps write
// (finish_octal_run), so that no step writes more than a step's worth of octal.
const char *write_high_run(cursor &c, const char *at) {
    const char *run = at;
    while (run != c.from && is_high(run[-1]))
        --run;
    // Looked for no further than what tells a run too long to hold.
    const char *const looked_up_to =
        c.cut - run > std::ptrdiff_t(longest_held_run) ? run + longest_held_run + 1 : c.cut;
    const char *run_end = std::find_if_not(at + 1, looked_up_to, is_high);
    if (run_end == looked_up_to || ends_or_escapes(*run_end)) {
        const char *const written = std::min(run_end, c.p + 64);
        c.text = write_octal(c.text - (at - run), run, written);
        c.note_octal_run(written, written == run_end);
        return written;
    }
    std::memcpy(c.text, at, std::size_t(run_end - at));
    c.text += run_end - at;
    return run_end;
}

// The first line in the step starting with 'e' that is the terminator, if any; a line starting
// with the step is not among them where it starts the input, whose first line is checked first.
step_end find_terminator(const cursor &c, const byte_masks &m, std::size_t in_view) {
    std::uint64_t starts = m.line_feed << 1 | (c.p != c.from && c.p[-1] == '\n');
    if (in_view < 64) starts &= (std::uint64_t(1) << in_view) - 1;
    for (; starts; starts &= starts - 1) {
        const char *line = c.p + lowest_bit(starts);
        if (line[0] != 'e') continue;
        if (const std::size_t size = terminator_at(line, c.to, c.then)) return {line, size};
    }
    return {};
}

// The general step: every marked byte is looked at one by one.
step_end general_step(cursor &c, const byte_masks &m) {
    const std::uint64_t special = m.line_feed | m.carriage_return | m.other_control | m.quoted;
    std::uint64_t look = special | c.second_questions(m);
    look |= m.high & (look >> 1 | std::uint64_t(1) << 63);
    auto in_view = std::min<std::size_t>(std::size_t(c.cut - c.p), 64);
    const step_end found = find_terminator(c, m, in_view);
    if (found.terminator) in_view = std::size_t(found.terminator - c.p); // the marks stop there
    if (in_view < 64) { // bytes past the cut are not ours, nor in view as followers
        look |= m.high & (std::uint64_t(1) << in_view >> 1); // the last in view, if any
        look &= (std::uint64_t(1) << in_view) - 1;
    }
    const char *plain = c.p; // the first byte not written yet
    while (look) {
        const char *at = c.p + lowest_bit(look);
        c.text = copy_64_keeping(c.text, plain, at);
        plain = at + 1;
        if (is_high(*at)) {
            plain = write_high_run(c, at);
            const auto taken = static_cast<std::size_t>(plain - c.p);
            look = taken < 64 ? look & ~std::uint64_t(0) << taken : 0;
            continue;
        }
        // A carriage return that starts a line end (before a line feed, or at the end of the
        // input) is dropped with it.
        if (*at != '\r' || (plain != c.to && *plain != '\n')) c.text = write_mark(c.text, *at);
        look &= look - 1;
    }
    if (plain < c.p + in_view) c.text = copy_64_keeping(c.text, plain, c.p + in_view);
    c.p = std::max(plain, c.p + in_view);
    return found;
}

// Up to a step's worth more of a run of bytes from 0x80 up that is written in octal, begun by an
// earlier step or call.
void finish_octal_run(cursor &c) {
    const char *const step_limit = c.p + std::min<std::ptrdiff_t>(c.cut - c.p, 64);
    const char *run_end = std::find_if_not(c.p, step_limit, is_high);
    c.text = write_octal(c.text, c.p, run_end);
    c.note_octal_run(run_end, run_end != step_limit || step_limit == c.cut);
    c.p = run_end;
}

// Every line feed opens the next call at once. Where no line follows in view, or the next line
// is the terminator, that opening is taken back.
void take_back_opening(cursor &c, const char *line) {
    if (line == c.from || line[-1] != '\n') return;
    c.text -= call_start_size;
    c.state.in_command = false;
}

// write_commands, for this way of classifying and this fast step: the step loop.
template <step_end (*fast_step)(cursor &, const byte_masks &)>
commands_written scan_commands(command_state &state, const char *from, const char *to,
                               input_end then, char *text, const char *text_limit) {
    cursor c{state, from, to,  then == input_end::more ? undecided_tail(state, from, to) : to,
             then,  from, text};
    if (!state.in_command && c.p != c.cut) {
        if (const std::size_t size = terminator_at(c.p, to, then))
            return {c.p + size, c.text, stop_reason::terminator};
        c.text = copy_text(c.text, call_start);
        state.in_command = true;
    }
    while (c.p < c.cut) {
        step_end end;
        if (state.octal_run) {
            finish_octal_run(c);
        } else {
            const byte_masks m = classify(c.p);
            end = fits_fast_step(c, m) ? fast_step(c, m) : general_step(c, m);
        }
        if (end.terminator) {
            take_back_opening(c, end.terminator);
            return {end.terminator + end.terminator_size, c.text, stop_reason::terminator};
        }
        if (c.text > text_limit && c.p < c.cut) {
            take_back_opening(c, c.p);
            state.after_question = c.p[-1] == '?';
            return {c.p, c.text, stop_reason::text_full};
        }
    }
    take_back_opening(c, c.p);
    if (c.p != from) state.after_question = c.p[-1] == '?';
    if (then != input_end::more && state.in_command) { // a last line without a line end
        c.text = copy_text(c.text, call_end);
        state.in_command = false;
    }
    return {c.p, c.text, stop_reason::needs_input};
}
