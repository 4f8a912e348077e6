// The pairs of 8-bit encodings that decide real files, each told apart by what the language's
// words look like; the readings and scores the detector reports; and the table generator, which
// must give the same file for the same texts.
#include "detect/EncodingDetector.h"
#include "engine/Lumiva.h"
#include "tests/common/IconvOnce.h"
#include "tests/common/RunProcess.h"
#include "tests/common/TestSupport.h"
#include "tests/detect/DetectorTestBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class LanguageStatisticsTest : public DetectorTestBase {
protected:
    // The name detected for Utf8 written in Encoding.
    std::string DetectIn(const std::string& Utf8, const std::string& Encoding)
    {
        return Detector.Detect(Encode(Utf8, Encoding), true);
    }

    // The answer gives back the text written (another encoding that decodes it alike is right too).
    void ExpectReadsBack(const std::string& Utf8, const std::string& Encoding)
    {
        SCOPED_TRACE(Encoding + ": " + Utf8.substr(0, 30));
        const std::string bytes = Encode(Utf8, Encoding);
        const std::string answer = Detector.Detect(bytes, true);
        ASSERT_FALSE(answer.empty()) << "refused";
        EXPECT_EQ(lmvtest::IconvOnce(answer, "UTF-8", bytes).value_or("(cannot decode)"), Utf8) << answer;
    }

    // A refusal, or an answer that gives back the text written.
    void ExpectNotMisread(const std::string& Utf8, const std::string& Encoding)
    {
        const std::string bytes = Encode(Utf8, Encoding);
        const std::string answer = Detector.Detect(bytes, true);
        if (!answer.empty()) {
            EXPECT_EQ(lmvtest::IconvOnce(answer, "UTF-8", bytes).value_or("(cannot decode)"), Utf8)
                << Encoding << " read as " << answer;
        }
    }

    TEncodingDetector Detector{*Engine, "C.UTF-8"};
};

TEST_F(LanguageStatisticsTest, DosCodePage850IsNotWindows1252)
{
    const std::string german = "Die Größe der Datei wird überprüft, bevor sie geöffnet wird; Änderungen gehen "
                               "dabei nicht verloren.\n";
    const std::string french = "Le fichier a été déplacé vers le répertoire prévu ; vérifiez les accès à la fin.\n";
    for (const std::string* text : {&german, &french}) {
        EXPECT_EQ(DetectIn(*text, "CP850"), "CP850") << text->substr(0, 20);
        EXPECT_EQ(DetectIn(*text, "WINDOWS-1252"), "WINDOWS-1252") << text->substr(0, 20);
    }
    // × is 0x9E in CP850 (ž in WINDOWS-1252), ½ is 0xAB (« there): two signs in English are too
    // little to name CP850, but never enough to misread it.
    const std::string english = "The shelf measures 40×60 cm and holds 2½ kg of books, so fix it to the wall "
                                "before you put anything on it.\n";
    // Italian has letters with accents, so that WINDOWS-1252's ž looks like one more of them.
    const std::string italian = "Il tavolo misura 80×120 cm e pesa 12½ kg; il piano si monta in pochi minuti con "
                                "le viti fornite nella confezione.\n";
    for (const std::string* text : {&english, &italian}) {
        ExpectNotMisread(*text, "CP850");
        ExpectNotMisread(*text, "WINDOWS-1252");
    }
}

TEST_F(LanguageStatisticsTest, Iso885915IsToldByTheEuroAndTheLigature)
{
    // In ISO-8859-15, € is 0xA4 and œ 0xBD, which WINDOWS-1252 reads as ¤ and ½.
    const std::string french = "Le billet coûte 15 € ; le cœur de l'œuvre se trouve dans la deuxième salle du musée.\n";
    EXPECT_EQ(DetectIn(french, "ISO-8859-15"), "ISO-8859-15");
    EXPECT_EQ(DetectIn(french, "WINDOWS-1252"), "WINDOWS-1252");
}

TEST_F(LanguageStatisticsTest, CyrillicKoi8UKeepsUkrainianLetters)
{
    const std::string ukrainian = "Файл збережено в головній теці; його можна відкрити пізніше. Ґанок і подвір'я "
                                  "її батьків єдині у селі.\n";
    const std::string russian = "Файл сохранён в основной папке, и его можно будет открыть позже ещё раз.\n";
    EXPECT_EQ(DetectIn(ukrainian, "KOI8-U"), "KOI8-U");
    EXPECT_EQ(DetectIn(russian, "KOI8-R"), "KOI8-R");
    ExpectReadsBack(russian, "CP866");
    ExpectReadsBack(ukrainian, "WINDOWS-1251");
}

TEST_F(LanguageStatisticsTest, CentralEuropeanDosAndWindowsCodePages)
{
    const std::string hungarian = "A fájlt a fő mappába mentettük, és később újra megnyitható; a módosítások "
                                  "elvesznek, ha nem erősíti meg őket.\n";
    const std::string czech = "Soubor byl uložen do hlavní složky a později jej můžete znovu otevřít bez ztráty změn.\n";
    EXPECT_EQ(DetectIn(hungarian, "CP852"), "CP852");
    EXPECT_EQ(DetectIn(czech, "CP852"), "CP852");
    EXPECT_EQ(DetectIn(hungarian, "WINDOWS-1250"), "WINDOWS-1250");
    EXPECT_EQ(DetectIn(czech, "WINDOWS-1250"), "WINDOWS-1250");
}

TEST_F(LanguageStatisticsTest, TurkishLettersMakeWindows1254)
{
    const std::string turkish = "Bu dosyayı açmak için şifreyi girmeniz gerekiyor; değişiklikler henüz kaydedilmedi.\n";
    EXPECT_EQ(DetectIn(turkish, "WINDOWS-1254"), "WINDOWS-1254");
    ExpectReadsBack(turkish, "ISO-8859-9");
}

TEST_F(LanguageStatisticsTest, HebrewAndThaiReadBack)
{
    const std::string hebrew = "הקובץ נשמר בתיקייה הראשית ואפשר לפתוח אותו שוב מאוחר יותר, אחרי שהשינויים יאושרו.\n";
    const std::string thai = "ไฟล์นี้ถูกบันทึกไว้ในโฟลเดอร์หลักและสามารถเปิดได้อีกครั้งในภายหลัง\n";
    ExpectReadsBack(hebrew, "WINDOWS-1255");
    ExpectReadsBack(hebrew, "ISO-8859-8");
    ExpectReadsBack(thai, "TIS-620");
    ExpectReadsBack(thai, "CP874");
}

TEST_F(LanguageStatisticsTest, MacRomanIsNeitherDosNorMacCentralEurope)
{
    const std::string finnish = "Tiedosto tallennettiin pääkansioon, ja sen voi avata myöhemmin uudelleen ilman "
                                "että muutokset häviävät.\n";
    const std::string dutch = "Het bestand is opgeslagen in de hoofdmap; daarna kan het één keer worden geopend "
                              "zonder dat de wijzigingen verloren gaan.\n";
    const std::string portuguese = "O arquivo foi salvo na pasta principal e não poderá ser aberto até amanhã, "
                                   "quando as alterações forem concluídas.\n";
    for (const std::string* text : {&finnish, &dutch, &portuguese})
        EXPECT_EQ(DetectIn(*text, "MACINTOSH"), "MACINTOSH") << text->substr(0, 20);
    EXPECT_EQ(DetectIn(portuguese, "CP850"), "CP850");
}

TEST_F(LanguageStatisticsTest, BalticAndRomanianAreNotCentralEuropean)
{
    const std::string lithuanian = "Failas išsaugotas pagrindiniame aplanke, jį galėsite atidaryti vėliau, kai "
                                   "pakeitimai bus užbaigti ir patvirtinti.\n";
    // ș and ț with the comma below are in ISO-8859-16 where ISO-8859-2 has ş and ţ with a cedilla.
    const std::string romanian = "Fișierul a fost salvat în dosarul principal și poate fi deschis mâine după-amiază, "
                                 "împreună cu toți colegii care țin evidența.\n";
    EXPECT_EQ(DetectIn(lithuanian, "WINDOWS-1257"), "WINDOWS-1257");
    ExpectReadsBack(lithuanian, "ISO-8859-13");
    EXPECT_EQ(DetectIn(romanian, "ISO-8859-16"), "ISO-8859-16");
}

TEST_F(LanguageStatisticsTest, TypographicSignsOfTheWindowsCodePagesAreRead)
{
    // Quotes, dashes, the ellipsis, the bullet and the euro are where the DOS and Macintosh code
    // pages have letters, and where ISO-8859-1 has controls.
    ExpectReadsBack("It\u2019s the \u201cfast\u201d mode \u2013 the one we use\u2026 and it costs 20 \u20ac a month.\n",
                    "WINDOWS-1252");
    ExpectReadsBack("\u2022 Open the file.\n\u2022 Save it again.\n\u2022 Close the window.\n", "WINDOWS-1252");
    ExpectReadsBack("Filen \u201cn\u00e6ste\u201d ble lagret i mappen, s\u00e5 du kan \u00e5pne den igjen \u2013 "
                    "ogs\u00e5 fra en annen maskin.\n",
                    "WINDOWS-1252");
    // Romanian as Windows writes it: s and t with a cedilla, and its low and high quotes.
    ExpectReadsBack("Aceast\u0103 decizie poate fi schimbat\u0103 oric\u00e2nd rul\u00e2nd \u201edpkg-reconfigure "
                    "popularity-contest\u201d. Participa\u0163i la sondaj \u015fi trimite\u0163i statistici.\n",
                    "WINDOWS-1250");
    // The letters at those bytes are still read as letters in their own code pages.
    ExpectReadsBack("La citt\u00e0 \u00e8 grande, per\u00f2 si pu\u00f2 girare a piedi in un giorno; pi\u00f9 tardi "
                    "andremo l\u00ec.\n",
                    "CP850");
    ExpectReadsBack("La informaci\u00f3n del a\u00f1o pasado est\u00e1 en el archivo, pero el \u00edndice no se "
                    "actualiz\u00f3.\n",
                    "MACINTOSH");
}

TEST_F(LanguageStatisticsTest, ShortAsciiWithOneAccentIsReadBack)
{
    // One English word borrowed from French: the other readings make a Central European or Baltic
    // letter of it, or a capital inside a word.
    for (const char* encoding : {"WINDOWS-1252", "CP850", "MACINTOSH"})
        ExpectReadsBack("See you at the café tomorrow morning.\n", encoding);
    ExpectReadsBack("I like the café near the station. It is open every day from nine to five.\n", "WINDOWS-1252");
    // In the language's own words one accent is enough.
    ExpectReadsBack("Ci vediamo domani, però non troppo presto.\n", "WINDOWS-1252");
    ExpectReadsBack("Le café est ouvert.\n", "WINDOWS-1252");
}

TEST_F(LanguageStatisticsTest, SignsAreNotReadAsLettersStandingAlone)
{
    // CP866 has capitals where WINDOWS-1252 has its typographic signs: "• none" would read "Х none".
    const std::string options = "Options:\n"
                                "\u2022 none: nothing is done when the window changes.\n"
                                "\u2022 follow: the view follows the pointer as it moves across the screen.\n"
                                "\u2022 center: the pointer is kept in the middle of the view.\n"
                                "\u2022 push: the view moves only when the pointer reaches its edge.\n";
    ExpectNotMisread(options, "WINDOWS-1252");
    ExpectNotMisread(options + options + options, "WINDOWS-1252");
    ExpectNotMisread("Price list \u2013 2024\n\u2022 Apples: 3 \u20ac\n\u2022 Pears: 4 \u20ac\n", "WINDOWS-1252");
    // ISO-8859-16 has Ś and ś where WINDOWS-1252 has × and ÷.
    ExpectNotMisread("Take (25\u00f7100)\u00d780 for the share.\n", "WINDOWS-1252");
    // A lone capital among words of its own language is still read.
    ExpectReadsBack("\u0412 \u044d\u0442\u043e\u043c \u0444\u0430\u0439\u043b\u0435 \u043d\u0435\u0442 "
                    "\u043e\u0448\u0438\u0431\u043e\u043a, \u0438 \u0432\u0441\u0435 "
                    "\u0441\u0442\u0440\u043e\u043a\u0438 \u043d\u0430 \u043c\u0435\u0441\u0442\u0435.\n",
                    "CP866");
}

TEST_F(LanguageStatisticsTest, WordsQuotedFromAnotherLanguageReadAsThatLanguage)
{
    // A name from Norwegian or Spanish in English: the DOS and Macintosh code pages read it as
    // they would Norwegian or Spanish, where WINDOWS-1252 makes signs of its letters.
    const std::string norwegian = "The Norwegian translation (Bokmål) was updated for this release, together with "
                                  "the Spanish one.\n";
    const std::string spanish = "The weather data for Zacatlán and Ahuacatlán comes from the national service; "
                                "updates arrive every hour.\n";
    for (const char* encoding : {"CP850", "CP437", "WINDOWS-1252"})
        ExpectReadsBack(norwegian, encoding);
    for (const char* encoding : {"CP850", "MACINTOSH", "WINDOWS-1252"})
        ExpectReadsBack(spanish, encoding);

    // Rows of a table in English with one in Hebrew: the Hebrew letters are not Latin accents.
    std::string rows;
    for (int i = 0; i < 2; ++i)
        rows += "1;\"Open the file that was saved last time\";12,50\n2;\"Close the window without saving the changes\";7,25\n"
                "3;\"Print every page of the document\";3,10\n4;\"Search the folder for files with this name\";8,00\n"
                "5;\"The program could not find the settings file\";1,99\n6;\"Copy the selected text to the clipboard\";2,00\n"
                "7;\"Requested matching mode was not compiled for JIT\";4,75\n";
    rows += "8;\"התבקש מצב התאמה שלא הודר עבור JIT (הרצה ללא הידור)\";6,40\n" + rows;
    ExpectReadsBack(rows, "WINDOWS-1255");

    // A few Chinese characters in a line of ASCII are no quoted words of Thai or Polish.
    ExpectNotMisread("ALTER LANGUAGE [alter_language(7)], CREATE LANGUAGE [create_language(l)], droplang(1)\n"
                     "中文 man 手冊頁計劃：https://github.com/man-pages-zh/manpages-zh\n",
                     "BIG5");
}

TEST_F(LanguageStatisticsTest, ReadingsComeBestFirstWithScoresThatAddUpToOne)
{
    const std::string answer = DetectIn("Die Größe der Datei wird überprüft, bevor sie geöffnet wird.\n", "CP850");
    ASSERT_EQ(answer, "CP850");
    const auto& guesses = Detector.Guesses();
    ASSERT_GE(guesses.size(), 2u);
    EXPECT_EQ(guesses.front().Name, answer);
    double total = 0;
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        EXPECT_GE(guesses[i].Score, 0.0);
        EXPECT_LE(guesses[i].Score, guesses.front().Score);
        total += guesses[i].Score;
    }
    EXPECT_NEAR(total, 1.0, 1e-9);
    // A refusal still tells what was weighed, and that nothing was sure enough.
    EXPECT_EQ(Detector.Detect("\xE9\n", true), "");
    ASSERT_FALSE(Detector.Guesses().empty());
    EXPECT_LT(Detector.Guesses().front().Score, 0.9);
    // A certain answer is the one reading.
    EXPECT_EQ(Detector.Detect("plain text\n", true), "ASCII");
    ASSERT_EQ(Detector.Guesses().size(), 1u);
    EXPECT_EQ(Detector.Guesses().front().Score, 1.0);
}

TEST(LanguageTableGenerator, RebuildsTheSameTableByteForByte)
{
    lmvtest::TempDir dir;
    const std::string data = lmvtest::SourceDir() + "/tests/detect/data/";
    const auto outcome = lmvtest::RunProcess(
        {"/usr/bin/python3", lmvtest::SourceDir() + "/scripts/language_tables.py", "--text", "fr=" + data + "french.txt",
         "--text", "ru=" + data + "russian.txt", "--output", dir / "tables.inc"},
        lmvtest::Environment({}, {}));
    ASSERT_EQ(outcome.Status, 0) << outcome.Err;
    const std::string made = lmvtest::ReadFile(dir / "tables.inc");
    EXPECT_EQ(made, lmvtest::ReadFile(data + "small_tables.inc"));
    // Letters seen in a text become its language's own symbols, both cases.
    EXPECT_NE(made.find("0x42F"), std::string::npos) << "Я is one of Russian's own letters";
}

} // namespace
