// What the program tells its user: the fixed Shift-JIS texts that Horofu.exe shows, and the
// horofu command's texts in English, which the command shows in the locale's language.
#pragma once

namespace horofu::message {

// Horofu　Ver. 1.00 (the space before "Ver." is full-width, 81 40)
inline constexpr char kTitle[] = "Horofu\x81\x40Ver. 1.00";

// 選択されたファイルはテキストファイルではありません
inline constexpr char kNotTextFile[] =
    "\x91\x49\x91\xf0\x82\xb3\x82\xea\x82\xbd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x83\x65"
    "\x83\x4c\x83\x58\x83\x67\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5\x82\xcd\x82\xa0\x82\xe8"
    "\x82\xdc\x82\xb9\x82\xf1";

// コンバートが終了しました。
inline constexpr char kDone[] =
    "\x83\x52\x83\x93\x83\x6f\x81\x5b\x83\x67\x82\xaa\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd\x81\x42";

// 入力ファイルを開けませんでした。
inline constexpr char kInputNotOpened[] =
    "\x93\xfc\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x8a\x4a\x82\xaf\x82\xdc\x82\xb9"
    "\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";

// 入力ファイルの読み込みに失敗しました。
inline constexpr char kReadFailed[] =
    "\x93\xfc\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x93\xc7\x82\xdd\x8d\x9e\x82\xdd"
    "\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";

// 出力ファイルを作成できませんでした。
inline constexpr char kOutputNotCreated[] =
    "\x8f\x6f\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab"
    "\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";

// 出力ファイルへの書き込みに失敗しました。
inline constexpr char kWriteFailed[] =
    "\x8f\x6f\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xd6\x82\xcc\x8f\x91\x82\xab\x8d\x9e"
    "\x82\xdd\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";

// 入力ファイルと同じファイルには保存できません。
inline constexpr char kSameAsInput[] =
    "\x93\xfc\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc6\x93\xaf\x82\xb6\x83\x74\x83\x40"
    "\x83\x43\x83\x8b\x82\xc9\x82\xcd\x95\xdb\x91\xb6\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
    "\x81\x42";

// コンソールウィンドウを作成できませんでした。 (Horofu.exe, when its window cannot be made)
inline constexpr char kConsoleNotCreated[] =
    "\x83\x52\x83\x93\x83\x5c\x81\x5b\x83\x8b\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xf0"
    "\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";

// 出力ファイルが既に存在します（上書きするには -f）。
inline constexpr char kOutputExists[] =
    "\x8f\x6f\x97\xcd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8a\xf9\x82\xc9\x91\xb6\x8d\xdd\x82"
    "\xb5\x82\xdc\x82\xb7\x81\x69\x8f\xe3\x8f\x91\x82\xab\x82\xb7\x82\xe9\x82\xc9\x82\xcd -f\x81"
    "\x6a\x81\x42";

// メモリが足りません。
inline constexpr char kOutOfMemory[] =
    "\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42";

// 読み込み中に入力ファイルが変更されました。もう一度変換してください。
inline constexpr char kThreadChanged[] =
    "\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x92\x86\x82\xc9\x93\xfc\x97\xcd\x83\x74\x83\x40\x83\x43"
    "\x83\x8b\x82\xaa\x95\xcf\x8d\x58\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd\x81\x42\x82\xe0"
    "\x82\xa4\x88\xea\x93\x78\x95\xcf\x8a\xb7\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2"
    "\x81\x42";

// 変換が予期せず失敗しました。
inline constexpr char kUnexpected[] =
    "\x95\xcf\x8a\xb7\x82\xaa\x97\x5c\x8a\xfa\x82\xb9\x82\xb8\x8e\xb8\x94\x73\x82\xb5\x82\xdc"
    "\x82\xb5\x82\xbd\x81\x42";

// HTMLへ変換するMabeliテキストファイルを選んでください (title of the open dialog)
inline constexpr char kChooseInputTitle[] =
    "HTML\x82\xd6\x95\xcf\x8a\xb7\x82\xb7\x82\xe9Mabeli\x83\x65\x83\x4c\x83\x58\x83\x67\x83\x74"
    "\x83\x40\x83\x43\x83\x8b\x82\xf0\x91\x49\x82\xf1\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2";

// HTMLファイルの保存先を選んでください。 (title of the save dialog)
inline constexpr char kChooseOutputTitle[] =
    "HTML\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x95\xdb\x91\xb6\x90\xe6\x82\xf0\x91\x49\x82\xf1"
    "\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";

}  // namespace horofu::message

// The horofu command's texts. The command shows them through gettext, which gives the Japanese
// of po/ja.po under a Japanese locale (the Shift-JIS texts above, word for word, where both
// say the same) and these English ones otherwise. Translatable marks them for xgettext.
namespace horofu::message::command {

constexpr const char* Translatable(const char* english) {
    return english;
}

// A text with a count: one for 1, many otherwise in English; gettext picks the form.
struct Plural {
    const char* one;
    const char* many;
};
constexpr Plural TranslatablePlural(const char* one, const char* many) {
    return {one, many};
}

// Usage errors and help.
inline constexpr const char* kUsage = Translatable("Usage: horofu [OPTION]... FILE.txt...\n");
inline constexpr const char* kTryHelp = Translatable("Try 'horofu --help' for more information.\n");
inline constexpr const char* kOutputNeedsPath = Translatable("-o needs a path");
inline constexpr const char* kOutputTakesOneInput = Translatable("-o takes one input file only");
inline constexpr const char* kHelp = Translatable(
    "Convert saved bulletin-board threads (Shift-JIS text) into HTML pages.\n"
    "Each FILE.txt becomes FILE.html beside it. FILE '-', or no FILE with standard input\n"
    "not a terminal, reads the thread from standard input and writes the page to standard\n"
    "output. No FILE on a terminal asks for one; an empty answer cancels.\n"
    "\n"
    "  -o, --output=PATH  write the page to PATH ('-' for standard output); one FILE only\n"
    "  -f, --force        replace an existing page without asking\n"
    "      --echo         show every record as it is read (on standard error when the\n"
    "                     page goes to standard output)\n"
    "  -q, --quiet        no progress bar and no summary\n"
    "  -m, --modern       write a UTF-8 HTML5 page with reply previews instead (the page\n"
    "                     for threads saved today); a FILE.dat always gets this page: a\n"
    "                     board's log, a rental or regional board's, or an old comma one\n"
    "      --input-encoding=NAME  with --modern: read the thread in NAME (an iconv name).\n"
    "                     Without it the encoding is found: a byte-order mark (UTF-8,\n"
    "                     UTF-16) decides; else UTF-8 when at most one in twenty of its\n"
    "                     non-ASCII sequences is broken, or its kana and kanji are twice\n"
    "                     the broken bytes or more; else CP932 or EUC-JP, whichever reads\n"
    "                     more characters. Bytes that do not decode show as U+FFFD and\n"
    "                     are counted\n"
    "      --ng=FILE      with --modern: leave out the posts FILE's lines match (id:VALUE,\n"
    "                     name:TEXT, word:TEXT, re:PATTERN; '#' starts a comment)\n"
    "      --ng-mode=hide|mark  leave a filtered post out (hide, the default), or keep\n"
    "                     its number only (mark)\n"
    "      --ng-chain     also filter the posts that reply to a filtered post\n"
    "      --site=SITE SOURCE...  build SITE, or bring it up to date, from the .dat and .txt\n"
    "                     threads in the SOURCE folders and files: a page per thread, board\n"
    "                     and site indexes, links between threads, a search page\n"
    "                     ('horofu --site --help' says more)\n"
    "      --search=SITE TEXT  list the posts of SITE that hold TEXT (exit 1 when none)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "An existing page (any name there, a link included) is replaced only after a yes on the\n"
    "terminal, or with --force. The page is written privately beside its target and put in\n"
    "place only when complete, so a failure or an interrupt never leaves half a page or a\n"
    "stray file. Messages are in Japanese under a Japanese locale and in English otherwise,\n"
    "in the locale's encoding. The classic page keeps the thread's Shift-JIS bytes.\n"
    "\n"
    "Exit status: 0 if every file was converted, 1 if any failed, 2 on a usage error,\n"
    "128+N when signal N ended the run.\n");
inline constexpr const char* kEncodingNeedsModern = Translatable("--input-encoding needs --modern");
inline constexpr const char* kUnknownEncoding =
    Translatable("unknown input encoding: %s ('iconv -l' lists the names known here)");
inline constexpr const char* kUnknownOption = Translatable("unrecognized option '%s'");
inline constexpr const char* kOptionNeedsArgument = Translatable("option '%s' needs an argument");
inline constexpr const char* kOptionTakesNoArgument = Translatable("option '%s' takes no argument");
inline constexpr const char* kNgNeedsModern = Translatable("--ng needs --modern");
inline constexpr const char* kNgOptionsNeedFile =
    Translatable("--ng-mode and --ng-chain need --ng FILE");
inline constexpr const char* kNgBadMode = Translatable("--ng-mode takes hide or mark");
inline constexpr const char* kNgNotRead = Translatable("could not read the NG file.");
inline constexpr const char* kNgTooLarge =
    Translatable("larger than 16 MiB, which no list of NG rules is");
// The NG file (first %s), the line's number, and what is wrong with it (in English).
inline constexpr const char* kNgBadLine = Translatable("%s:%zu: %s");

// What went wrong with one file, shown after "horofu: PATH: ".
inline constexpr const char* kNotThreadFile =
    Translatable("not a thread file: the names taken are FILE.txt and FILE.dat");
inline constexpr const char* kInputNotOpened = Translatable("could not open the input file.");
inline constexpr const char* kReadFailed = Translatable("reading the input file failed.");
inline constexpr const char* kOutputNotCreated = Translatable("could not create the output file.");
inline constexpr const char* kWriteFailed = Translatable("writing the output file failed.");
inline constexpr const char* kSameAsInput = Translatable("cannot save into the input file itself.");
inline constexpr const char* kOutputExists =
    Translatable("the output file already exists (-f replaces it).");
inline constexpr const char* kFileInUse = Translatable("another program is using it");
inline constexpr const char* kBlockDevice = Translatable("cannot write into a block device");
inline constexpr const char* kNoReader = Translatable("no program reads from this pipe");
inline constexpr const char* kDeviceThread =
    Translatable("a device is read only from standard input: horofu < DEVICE");
inline constexpr const char* kOutOfMemory = Translatable("not enough memory.");
inline constexpr const char* kThreadChanged =
    Translatable("the input file changed while it was read; convert it again.");
inline constexpr const char* kUnexpected = Translatable("the conversion failed unexpectedly.");
// A message (first %s) with the system's reason (second %s).
inline constexpr const char* kWithReason = Translatable("%s (%s)");
inline constexpr const char* kOverwriteQuestion = Translatable("replace it? [y/N]");
inline constexpr const char* kNotOverwritten = Translatable("not replaced.");

// The summary after a conversion on a terminal: "IN -> OUT: " and the counts, for the modern
// page with the bytes that could not be decoded.
inline constexpr const char* kSummary = Translatable("%s -> %s: %s, %s, %s");
inline constexpr const char* kModernSummary = Translatable("%s -> %s: %s, %s, %s, %s");
inline constexpr Plural kRecords = TranslatablePlural("%llu record", "%llu records");
inline constexpr Plural kPosts = TranslatablePlural("%llu post", "%llu posts");
inline constexpr Plural kBytes = TranslatablePlural("%llu byte", "%llu bytes");
inline constexpr Plural kUndecodable = TranslatablePlural("%llu undecodable", "%llu undecodable");
// Told after a classic page that kept no post header of many lines, or of UTF-8 text: the
// classic page reads Shift-JIS only, with the design's header forms.
inline constexpr const char* kClassicLost = Translatable(
    "the classic page found no post header in this thread (it may be UTF-8 or a form of "
    "today's); try --modern (-m)");
// Told after a modern page where many bytes could not be decoded.
inline constexpr const char* kTryEncoding =
    Translatable("if the page looks garbled, name the thread's encoding with --input-encoding");
// Told after a modern page even without the summary.
inline constexpr Plural kUndecodableShown = TranslatablePlural(
    "%llu undecodable byte shown as U+FFFD", "%llu undecodable bytes shown as U+FFFD");
// Told after a modern page whose .dat held character references to no character ("&#0;"):
// the encoding was right, so no hint follows.
inline constexpr Plural kBadReferencesShown =
    TranslatablePlural("%llu invalid character reference shown as U+FFFD",
                       "%llu invalid character references shown as U+FFFD");
// Told after a modern page with NG rules, even with -q: posts kept because a pattern's search
// gave up on one of their lines, which the page may show though the pattern matches them.
inline constexpr Plural kNgUndecided =
    TranslatablePlural("%llu post kept where an NG pattern gave up searching a line",
                       "%llu posts kept where an NG pattern gave up searching a line");

// The file question on a terminal, in place of the open dialog.
inline constexpr const char* kChooseInput =
    Translatable("Choose the thread text file to convert into HTML");
inline constexpr const char* kFolder = Translatable("Folder: ");
inline constexpr const char* kFileQuestion = Translatable("File name (empty to cancel): ");
inline constexpr const char* kNoSuchFile = Translatable("%s: no such file");
inline constexpr const char* kNoMatch = Translatable("no file here matches %s");
inline constexpr Plural kManyMatch =
    TranslatablePlural("%zu file matches %s; type %s to list it",
                       "%zu files match %s; type a pattern such as %s to list them");

}  // namespace horofu::message::command
