// TEncodingDetector over the project's conversion library: one small text for every family of
// encodings, the Unicode forms by their bytes, and what it must refuse.
#include "detect/EncodingDetector.h"
#include "detect/EncodingGroups.h"
#include "tests/detect/DetectorTestBase.h"
#include "engine/Lumiva.h"
#include "tests/common/IconvOnce.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <utility>
#include <string>

namespace {

using lmvtest::Bytes;

const std::string French =
    "Le système de fichiers est monté au démarrage. Chaque répertoire contient des fichiers dont le "
    "propriétaire peut modifier les droits d'accès ; s'il n'y a pas de mot de passe, la commande échoue "
    "et affiche un message d'erreur à l'écran. Voir aussi la page de manuel où sont décrites les options.\n";
const std::string German =
    "Die Datei wird geöffnet und ihr Inhalt in die Ausgabe geschrieben. Für jede Zeile, die länger als die "
    "angegebene Breite ist, wird ein Umbruch eingefügt. Größere Dateien können über die Option --größe "
    "aufgeteilt werden; fehlerhafte Einträge werden übersprungen und gemeldet.\n";
const std::string Polish =
    "Polecenie wyświetla zawartość katalogu. Jeżeli nie podano żadnej ścieżki, używany jest bieżący katalog. "
    "Pliki, których nazwy zaczynają się od kropki, są pomijane, chyba że użyto opcji -a. Każdy wiersz "
    "zawiera uprawnienia, właściciela, rozmiar oraz datę ostatniej zmiany pliku.\n";
const std::string Czech =
    "Příkaz vypíše obsah adresáře. Pokud není zadána žádná cesta, použije se aktuální adresář. Soubory, "
    "jejichž jména začínají tečkou, se nezobrazují, pokud není použit přepínač -a. Každý řádek obsahuje "
    "oprávnění, vlastníka, velikost a datum poslední změny souboru.\n";
const std::string Russian =
    "Команда выводит содержимое каталога. Если путь не указан, используется текущий каталог. Файлы, имена "
    "которых начинаются с точки, не показываются, если не задан ключ -a. Каждая строка содержит права "
    "доступа, владельца, размер и дату последнего изменения файла.\n";
const std::string Ukrainian =
    "Команда виводить вміст каталогу. Якщо шлях не вказано, використовується поточний каталог. Файли, "
    "імена яких починаються з крапки, не показуються, якщо не задано ключ -a. Кожен рядок містить права "
    "доступу, власника, розмір і дату останньої зміни файлу; її єдиний аргумент є ім'я каталогу.\n";
const std::string Greek =
    "Η εντολή εμφανίζει τα περιεχόμενα του καταλόγου. Αν δεν δοθεί διαδρομή, χρησιμοποιείται ο τρέχων "
    "κατάλογος. Τα αρχεία των οποίων τα ονόματα αρχίζουν με τελεία δεν εμφανίζονται, εκτός αν δοθεί η "
    "επιλογή -a. Κάθε γραμμή περιέχει τα δικαιώματα, τον ιδιοκτήτη και το μέγεθος του αρχείου.\n";
// With a backslash: SHIFT_JIS reads 0x5C as a yen sign, CP932 as the backslash it is.
const std::string Japanese =
    "このコマンドはディレクトリの内容を表示します。パスを指定しない場合は、現在のディレクトリが使われます。"
    "名前がドットで始まるファイルは、オプション -a を指定しない限り表示されません。"
    "各行には、アクセス権、所有者、サイズ、最終更新日時が含まれます。区切りは C:\\temp のように書きます。\n";
const std::string SimplifiedChinese =
    "该命令列出目录的内容。如果没有指定路径，则使用当前目录。名称以点开头的文件不会显示，除非使用了 -a "
    "选项。每一行包含文件的访问权限、所有者、大小以及最后修改的日期——这些信息可以帮助用户管理文件。\n";
const std::string TraditionalChinese =
    "該命令列出目錄的內容。如果沒有指定路徑，則使用目前的目錄。名稱以點開頭的檔案不會顯示，除非使用了 -a "
    "選項。每一行包含檔案的存取權限、擁有者、大小以及最後修改的日期，這些資訊可以幫助使用者管理檔案。\n";
const std::string Korean =
    "이 명령은 디렉터리의 내용을 표시합니다. 경로를 지정하지 않으면 현재 디렉터리를 사용합니다. 이름이 점으로 "
    "시작하는 파일은 -a 옵션을 지정하지 않는 한 표시되지 않습니다. 각 줄에는 접근 권한, 소유자, 크기, 마지막 "
    "수정 날짜가 들어 있습니다.\n";

class EncodingDetectorTest : public DetectorTestBase {
protected:
    static std::string Detect(const std::string& Bytes, const std::string& Locale = "C.UTF-8")
    {
        TEncodingDetector detector(*Engine, Locale);
        return detector.Detect(Bytes, true);
    }

    // The answer decodes the bytes to the text that was written: either of two encodings that
    // decode them alike is right.
    static void ExpectReadsBack(const std::string& Utf8, const std::string& Encoding)
    {
        SCOPED_TRACE(Encoding);
        const std::string bytes = Encode(Utf8, Encoding);
        const std::string answer = Detect(bytes);
        ASSERT_FALSE(answer.empty()) << "refused";
        EXPECT_EQ(lmvtest::IconvOnce(answer, "UTF-8", bytes).value_or("(cannot decode)"), Utf8) << answer;
    }
};

TEST_F(EncodingDetectorTest, SignaturesNameTheFormWhoseDecoderReadsThem)
{
    EXPECT_EQ(Detect("\xEF\xBB\xBF" + French), "UTF-8");
    EXPECT_EQ(Detect(Encode(Russian, "UTF-16")), "UTF-16"); // glibc writes a mark
    EXPECT_EQ(Detect(Bytes({0xFE, 0xFF}) + Encode(Japanese, "UTF-16BE")), "UTF-16");
    EXPECT_EQ(Detect(Bytes({0xFF, 0xFE, 0, 0}) + Encode(Greek, "UTF-32LE")), "UTF-32");
    EXPECT_EQ(Detect(Bytes({0, 0, 0xFE, 0xFF}) + Encode(Korean, "UTF-32BE")), "UTF-32");
}

TEST_F(EncodingDetectorTest, UnmarkedUtf16AndUtf32AreToldByTheirZeroBytes)
{
    for (const std::string* text : {&French, &Russian, &Japanese, &SimplifiedChinese})
        for (const char* form : {"UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"})
            EXPECT_EQ(Detect(Encode(*text, form)), form) << text->substr(0, 20);
}

TEST_F(EncodingDetectorTest, StrictUtf8ComesBeforeStatisticsAndAsciiStaysAscii)
{
    EXPECT_EQ(Detect("plain text, nothing else\n"), "ASCII");
    EXPECT_EQ(Detect(""), "ASCII");
    // One accent in a short text: what statistical detectors most often get wrong.
    EXPECT_EQ(Detect("Caf\xC3\xA9 ouvert\n"), "UTF-8");
    for (const std::string* text : {&Polish, &Greek, &Japanese, &Korean})
        EXPECT_EQ(Detect(*text), "UTF-8");
    // An overlong form and an encoded surrogate are not UTF-8.
    EXPECT_NE(Detect("abc \xC0\xAF def\n"), "UTF-8");
    EXPECT_NE(Detect("abc \xED\xA0\x80 def\n"), "UTF-8");
}

TEST_F(EncodingDetectorTest, WesternTextsReadBackIncludingDos)
{
    for (const std::string* text : {&French, &German})
        for (const char* encoding : {"WINDOWS-1252", "ISO-8859-1", "CP850"})
            ExpectReadsBack(*text, encoding);
    EXPECT_EQ(Detect(Encode(French, "ISO-8859-1")), "WINDOWS-1252");
    EXPECT_EQ(Detect(Encode(German, "CP850")), "CP850");
}

TEST_F(EncodingDetectorTest, CentralEuropeanTextsReadBackIncludingDos)
{
    for (const std::string* text : {&Polish, &Czech})
        for (const char* encoding : {"WINDOWS-1250", "ISO-8859-2", "CP852"})
            ExpectReadsBack(*text, encoding);
}

TEST_F(EncodingDetectorTest, CyrillicTextsReadBackAndKoi8UKeepsItsLetters)
{
    for (const char* encoding : {"WINDOWS-1251", "KOI8-R", "CP866"})
        ExpectReadsBack(Russian, encoding);
    for (const char* encoding : {"WINDOWS-1251", "KOI8-U"})
        ExpectReadsBack(Ukrainian, encoding);
    // KOI8-R has box-drawing signs where KOI8-U has і, ї and є.
    EXPECT_EQ(Detect(Encode(Ukrainian, "KOI8-U")), "KOI8-U");
}

TEST_F(EncodingDetectorTest, GreekTextsReadBack)
{
    ExpectReadsBack(Greek, "WINDOWS-1253");
    ExpectReadsBack(Greek, "ISO-8859-7");
}

TEST_F(EncodingDetectorTest, EastAsianTextsGetTheSupersetWindowsWrites)
{
    EXPECT_EQ(Detect(Encode(Japanese, "CP932")), "CP932");
    ExpectReadsBack(Japanese, "CP932");
    ExpectReadsBack(Japanese, "EUC-JP");
    ExpectReadsBack(Japanese, "ISO-2022-JP");
    EXPECT_EQ(Detect(Encode(SimplifiedChinese, "GB18030")), "GB18030");
    ExpectReadsBack(SimplifiedChinese, "GB18030");
    ExpectReadsBack(TraditionalChinese, "BIG5");
    EXPECT_EQ(Detect(Encode(Korean, "EUC-KR")), "CP949");
    ExpectReadsBack(Korean, "EUC-KR");
}

// Chinese sets Latin words, format directives and its own commas, colons and brackets between
// its letters without a space: in any form that is text, not a misreading.
TEST_F(EncodingDetectorTest, ChineseWithLatinWordsAndItsOwnPunctuationIsText)
{
    const std::string directives = "在文件%1$s的第%2$u行有错误的记录ID %3$u（在%4$u之后）\n"
                                   "在文件%1$s的第%2$u行有意外的pageaddr %3$X/%4$X\n";
    const std::string formats = "查看器（Viewer）可以打开以下格式：PDF、PS、EPS、XPS、DjVu、TIFF、DVI（带 SyncTex）"
                                "以及压缩的漫画（CBR、CBZ、CB7）。\n";
    const std::string paths = "您现在可以手工修改/etc/nsswitch.conf文件来启用LDAP功能，或者重新配置这个软件包。\n";
    EXPECT_EQ(Detect("\xEF\xBB\xBF" + paths + directives), "UTF-8");
    EXPECT_EQ(Detect(Bytes({0, 0, 0xFE, 0xFF}) + Encode(directives, "UTF-32BE")), "UTF-32");
    for (const char* form : {"UTF-16LE", "UTF-16BE"})
        EXPECT_EQ(Detect(Encode(formats, form)), form);
    ExpectReadsBack("支援的音訊格式：Ogg Vorbis、Opus、FLAC、MP3 和 MOV，透過麥克風錄音並回播。\n", "BIG5");
}

TEST_F(EncodingDetectorTest, EastAsianReadingsHaveScoresThatAddUpToOne)
{
    TEncodingDetector detector(*Engine, "C.UTF-8");
    for (const auto& [text, encoding] : {std::pair{Japanese, "EUC-JP"}, std::pair{SimplifiedChinese, "GB18030"},
                                         std::pair{TraditionalChinese, "BIG5"}, std::pair{Korean, "EUC-KR"}}) {
        SCOPED_TRACE(encoding);
        const std::string answer = detector.Detect(Encode(text, encoding), true);
        const auto& guesses = detector.Guesses();
        ASSERT_FALSE(guesses.empty());
        EXPECT_EQ(guesses.front().Name, answer);
        double total = 0;
        for (const TEncodingGuess& guess : guesses) {
            EXPECT_GT(guess.Score, 0.0) << guess.Name;
            total += guess.Score;
        }
        EXPECT_NEAR(total, 1.0, 1e-9);
        // The reading taken is the likeliest, and a clear one.
        EXPECT_GE(guesses.front().Score, 0.5);
    }
}

TEST_F(EncodingDetectorTest, BinaryDataAndUndecodableBytesAreRefused)
{
    std::mt19937 random(11);
    std::string noise(4096, '\0'), high(4096, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    for (char& c : high)
        c = static_cast<char>(0x80 | (random() & 0x7F));
    EXPECT_EQ(Detect(noise), "");
    EXPECT_EQ(Detect(high), "");
    EXPECT_EQ(Detect(Bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0x3E, 0})), "");
    // Text with a NUL in it, and control bytes that no text holds.
    EXPECT_EQ(Detect(std::string("abc\0def", 7)), "");
    EXPECT_EQ(Detect("abc\x01\x02\x03 d\xE9j\xE0 vu\n"), "");
    // UTF-16 by its zero bytes, but holding NUL characters: data, not text.
    EXPECT_EQ(Detect(Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 'c', 0, 'd', 0, 0, 0, 'e', 0})), "");
}

TEST_F(EncodingDetectorTest, ItalianAccentsAreNotTakenForCentralEuropeanLettersInAnyLocale)
{
    // Italian in ISO-8859-1 whose only accents, ò and è, are ň and č in ISO-8859-2: both readings
    // decode cleanly, and only what Italian and Czech words look like tells them apart.
    const std::string bytes = "Il formato del file dipende dalla macchina, perci\xF2 si raccomanda di elaborarlo "
                              "solo su macchine con la stessa architettura di quella su cui il file \xE8 stato "
                              "creato.\nNotare che su piattaforme biarch,\n";
    for (const char* locale : {"C.UTF-8", "it_IT.UTF-8", "pl_PL.UTF-8", "cs_CZ.UTF-8"})
        EXPECT_EQ(Detect(bytes, locale), "WINDOWS-1252") << locale;
}

TEST_F(EncodingDetectorTest, OnlyTheFirstBytesOfAFileAreRead)
{
    lmvtest::TempDir dir;
    TEncodingDetector detector(*Engine, "C.UTF-8");
    // Past the sample, a byte that is no UTF-8: the conversion finds it, not the detection.
    lmvtest::WriteFile(dir / "long.txt", std::string(TEncodingDetector::SampleLimit + 100000, 'a') + "\xFF");
    EXPECT_EQ(detector.DetectFile(dir / "long.txt"), "ASCII");
    // The sample ends in the middle of "é": a character cut by the sample is not a fault...
    lmvtest::WriteFile(dir / "cut.txt", std::string(TEncodingDetector::SampleLimit - 1, 'a') + "\xC3\xA9 and more");
    EXPECT_EQ(detector.DetectFile(dir / "cut.txt"), "UTF-8");
    // ...but the same cut at the end of a whole file is.
    lmvtest::WriteFile(dir / "short.txt", std::string(10, 'a') + "\xE2\x82");
    EXPECT_NE(detector.DetectFile(dir / "short.txt"), "UTF-8");
    EXPECT_THROW(detector.DetectFile(dir / "missing.txt"), Exception);
    EXPECT_THROW(detector.DetectFile(dir.Path()), Exception);
}

TEST_F(EncodingDetectorTest, GroupsMatchAliasesOfOneEncodingOnly)
{
    TStringList groups;
    Engine->GetGroups(groups);
    EXPECT_TRUE(SameEncodingGroup(groups, "WINDOWS-1251", "cp1251"));
    EXPECT_TRUE(SameEncodingGroup(groups, "UTF-8", "utf8"));
    EXPECT_FALSE(SameEncodingGroup(groups, "WINDOWS-1251", "KOI8-R"));
    EXPECT_FALSE(SameEncodingGroup(groups, "UTF-16", "UTF-16LE"));
    EXPECT_TRUE(SameEncodingGroup(TStringList{"A,\"B,C\",D"}, "b,c", "D"));
    EXPECT_FALSE(SameEncodingGroup(TStringList{"A,\"B,C\",D"}, "B", "D"));
}

} // namespace
