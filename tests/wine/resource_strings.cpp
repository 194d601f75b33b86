// Checks the message catalogue of a Pelorin executable as Windows loads it.
//
//   resource_strings.exe [MODULE]
//
// MODULE, a Pelorin executable, is loaded as a data file; without an argument
// the program checks its own resources (when it is linked with
// ui/res/pelorin.rc). Then:
//  1. every catalogue entry of each of the four languages is read directly,
//     FindResourceExW with that language, and compared with the tables below;
//  2. every entry is read with LoadStringW, which takes the language that the
//     resource loader picks for the user's interface language (under Wine it
//     follows LC_ALL / LANG: en_US.UTF-8, it_IT.UTF-8, sq_AL.UTF-8,
//     sl_SI.UTF-8), and compared with the table of GetUserDefaultUILanguage()
//     when that is one of the four.
// Mismatches are printed as UTF-8 with line feeds shown as \n, then one summary
// line. Exit code: 0 when everything matches, 1 on a mismatch, 2 when MODULE
// cannot be loaded.
//
// The tables are the catalogue as the program must show it, kept here
// independently of the resource scripts.

#include <windows.h>

#include <string>

namespace {

const unsigned kMessageIds[] = {12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                                26, 27, 28, 29, 30, 31, 32, 33, 34, 36, 37, 38, 57344};
const int kMessageCount = sizeof(kMessageIds) / sizeof(kMessageIds[0]);

// English (United States), 1033.
const wchar_t* const kTexts1033[kMessageCount] = {
    L"Out of Memory",
    L"Setup was unable to find the MSI package or patch '%1'.",
    L"The required data with code %1!d! is missing.",
    L"Please wait while '%1' is downloaded...",
    L"the product",
    L"Downloading package '%1' ...",
    L"Verifying digital signature of '%1'...",
    L"This installation requires package '%1'. Do you wish to install it now?\nIf you already installed '%1', you can choose 'No'.",
    L"This version of Windows does not support digital signatures.",
    L"Installation failed. '%1' is not trusted.",
    L"The path '%1' is invalid.",
    L"Setup was cancelled.",
    L"'%1!d!' is an invalid MSI version. Be sure that it is numeric and is at least '%2!d!'.",
    L"Admin priviledges are required for upgrading the Windows Installer.",
    L"Downloading Windows Installer upgrade executable",
    L"Setup was unable to find the InstMSI file '%1'.",
    L"Setup was unable to upgrade the Windows Installer.",
    L"You must restart your system for the configuration changes to take effect. Click Yes to restart now or No if you plan to manually restart later.",
    L"The provided InstMSI upgrade executable '%1' is invalid.",
    L"An error occured installing the package. Windows Installer returned '%1!d!'.",
    L"This package requires a newer version of the Windows Installer. Do you want to update the version of the Windows Installer on your system?",
    L"The setup was authored with an incorrect operation resource '%1' and cannot continue.",
    L"The setup was unable to find appropriate install package for your operating system.",
    L"Usage:\n   /? :  Show this dialog.\n   /a :  Prepare an administrative install.\n   /a <full path to existing administrative install> :  Prepare/Patch administrative install in given folder.\n   /v <full path to file> :  Verify signature on file.\n",
    L"The download of '%1' was interrupted. Trying again in %2!d! seconds...",
    L"Windows Installer Installation Wrapper",
};

// Italian, 1040.
const wchar_t* const kTexts1040[kMessageCount] = {
    L"Memoria insufficiente",
    L"Non trovo file MSI '%1'.",
    L"Non trovo dato con codice %1!d!.",
    L"Prego attendere. Trasferisco file '%1'...",
    L"prodotto",
    L"Trasferimento file '%1' ...",
    L"Verifica firma digitale '%1'...",
    L"Questo tipo di installazione richiede il pacchetto di programmi '%1'. Vuoi installare questo pacchetto di programmi subito?\nSe il pacchetto di programmi '%1' è già installato, puoi scegliere 'No'.",
    L"Questa versione del sistema operativo non permette la verifica di firme digitali.",
    L"L'installazione non è riuscita. '%1' non è degno di fiducia.",
    L"Percorso '%1' sbagliato.",
    L"L'installazione è stata interrotta.",
    L"'%1!d!' è MSI di versione errata. Verifica se il valore è numerico e di almeno '%2!d!'.",
    L"Per l'upgrade del programma Windows Installer devi avere lo status di amministratore.",
    L"Trasferimento del programma Windows Installer",
    L"Setup non trova file InstMSI '%1'.",
    L"L'upgrade del programma Windows Installer non è riuscito.",
    L"Per la continuazione devi riavviare il computer. Clicca »Si« per riavviarlo subito o »No«, se vuoi avviare il computer più tardi.",
    L"Il file per l'upgrade del InstMSI '%1' è sbagliato.",
    L"Nell'installazione del pacchetto è occorso un errore. Windows Installer ha restituito il codice '%1!d!'.",
    L"Questo pacchetto richiede una versione più recente del programma Windows Installer. Vuoi eseguire l'upgrade del programma Windows Installer sul tuo computer?",
    L"L'installazione ha eseguito un'operazione errata '%1' è non può continuare l'azione.",
    L"La procedura di installazione non trova il pacchetto installer per il suo sistema operativo.",
    L"Uso:\n   /? :  Mostra queste istruzioni.\n   /a :  Esegui installazione in modalità amministratore.\n   /a <percorso completo fino ad installazione in modalità amministratore> :  Prepara/Correggi l'installazione su modalità amministratore sul dato directory.\n   /v <percorso intero fino al file > :  Verifica firma file.\n",
    L"Il trasferimento di '%1' è stato interrotto. Nuovo tentativo tra %2!d! secondi...",
    L"Avvio programma Windows Installer",
};

// Albanian, 1052.
const wchar_t* const kTexts1052[kMessageCount] = {
    L"Nuk ka memorie",
    L"Parametrizimi nuk ishte në gjendje të gjente paketën MSI ose korrigjimin '%1'.",
    L"Të dhënat e kërkuara me kodin %1!d! mungojnë.",
    L"Të lutem, prit derisa të shkarkohet '%1' ...",
    L"produkti",
    L"Duke shkarkuar paketën '%1' ...",
    L"Verifikuar nënshkrimin digjital të '%1' ...",
    L"Ky instalim kërkon paketën '%1'. A dëshiron ta instalosh tani?\nNëse tashmë e ke instaluar '%1, mund të zgjedhësh 'Jo'.",
    L"Ky version i Windows-it nuk e mbështet nënshkrimin digjital.",
    L"Instalimi dështoi. '%1' nuk është i besueshëm.",
    L"Shtegu '%1' është i pavlefshëm.",
    L"Parametrizimi u anulua.",
    L"'%1!d!' është një version i pavlefshëm MSI. Sigurohu që të jetë numër dhe të paktën '%2!d!'.",
    L"Kërkohen privilegjet e administratorit për të përmirësuar Windows Installer.",
    L"Duke shkarkuar paketën e ekzekutueshme Windows Installer",
    L"Parametrizimi nuk ishte në gjendje të gjente skedarin InstMSI '%1'.",
    L"Parametrizimi nuk ishte në gjendje të përmirësonte Windows Installer-in.",
    L"Duhet të rinisësh sistemin tënd që të kenë efekt ndryshimet e konfigurimit. Kliko Po për të rinisur tani ose Jo nëse planifikon ta rinisësh me dorë më vonë.",
    L"Përmirësimi i siguruar InstMSI i ekzekutueshëm '%1' është i pavlefshëm.",
    L"Ndodhi një gabim gjatë instalimit të paketës. Windows Installer ktheu '%1!d!'.",
    L"Kjo paketë kërkon një version më të ri të Windows Installer. A dëshiron ta përditësosh versionin e Windows Installer në sistemin tënd?",
    L"Parametrizimi u autorizua me një burim të pasaktë operacioni '%1' dhe nuk mund të vazhdojë.",
    L"Parametrizimi nuk ishte në gjendje të gjente paketën e duhur të instalimit për sistemin tënd operativ.",
    L"Përdorimi:\n   /? :  Shfaqe këtë dialog.\n   /a :  Përgatit një instalim administrativ.\n   /a <full path to existing administrative install> :  Përgatit/Korrigjo instalimin administrativ në dosjen e dhënë.\n   /v <full path to file> :  Verifiko nënshkrimin në skedar.\n",
    L"Shkarkimi i '%1' u ndërpre. Do të provohet përsëri pas %2!d! sekondash ...",
    L"Paketa e instalimit të Windows Installer-it",
};

// Slovenian, 1060.
const wchar_t* const kTexts1060[kMessageCount] = {
    L"Premalo pomnilnika",
    L"Ne najdem datoteke MSI '%1'.",
    L"Ne najdem podatka s kodo %1!d!.",
    L"Prosimo, počakajte. Prenašanje datoteke '%1' ...",
    L"izdelek",
    L"Prenos datoteke '%1' ...",
    L"Preverjanje digitalnega podpisa '%1' ...",
    L"Ta namestitev potrebuje programski paket '%1'. Ali želite ta paket namestiti zdaj?\nČe imate programski paket '%1' že nameščen, lahko izberite 'Ne'.",
    L"Ta verzija operacijskega sistema ne omogoča preverjanja digitalnih podpisov.",
    L"Namestitev ni uspela. '%1' ni zaupanja vreden.",
    L"Pot '%1' je napačna.",
    L"Namestitev je bila prekinjena.",
    L"'%1!d!' je MSI napačne verzije. Preverite, da je vrednost število in je najmanj '%2!d!'.",
    L"Za nadgradnjo programa Windows Installer morate imeti skrbniške pravice.",
    L"Prenos programa Windows Installer",
    L"Namestitev ne najde datoteke InstMSI '%1'.",
    L"Nadgradnja programa Windows Installer ni uspela.",
    L"Za nadaljevanje morate ponovno zagnati svoj računalnik. Kliknite »Da« za takojšen ponovni zagon ali »Ne«, če želite računalnik zagnati kasneje.",
    L"Datoteka za nadgradnjo InstMSI '%1' je napačna.",
    L"Pri namestitvi paketa je prišlo do napake. Windows Installer je vrnil kodo '%1!d!'.",
    L"Ta paket zahteva novejšo verzijo programa Windows Installer. Ali želite nadgraditi program Windows Installer na svojem računalniku?",
    L"Namestitev je izvedla napačno operacijo '%1' in ne more nadaljevati.",
    L"Namestitev ni našla ustreznega namestitvenega paketa za vaš operacijski sistem.",
    L"Uporaba:\n   /? :  Pokaže ta navodila.\n   /a :  Pripravi skrbniško namestitev.\n   /a <polna pot do skrbniške namestitve> :  Pripravi/Popravi skrbniško namestitev na danem imeniku.\n   /v <polna pot do datoteke> :  Preveri podpis datoteke.\n",
    L"Prenos datoteke '%1' je bil prekinjen. Ponovni poskus čez %2!d! s ...",
    L"Zaganjalnik programa Windows Installer",
};

struct Language {
    LANGID id;
    const wchar_t* const* texts;
};

const Language kLanguages[] = {
    {1033, kTexts1033},
    {1040, kTexts1040},
    {1052, kTexts1052},
    {1060, kTexts1060},
};

void Print(const std::wstring& text) {
    std::wstring shown;
    for (wchar_t c : text) {
        if (c == L'\n')
            shown += L"\\n";
        else if (c == L'\r')
            shown += L"\\r";
        else
            shown += c;
    }
    shown += L'\n';
    int size = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

// The entry `id` of the string table in language `lang` exactly, without the
// resource loader's language fallback. `found` tells whether it exists.
std::wstring ReadString(HMODULE module, unsigned id, LANGID lang, bool* found) {
    *found = false;
    HRSRC info = FindResourceExW(module, RT_STRING,
                                 MAKEINTRESOURCEW(id / 16 + 1), lang);
    if (!info)
        return std::wstring();
    HGLOBAL handle = LoadResource(module, info);
    const WORD* p = static_cast<const WORD*>(LockResource(handle));
    if (!p)
        return std::wstring();
    for (unsigned i = 0; i < id % 16; ++i)
        p += 1 + *p;
    if (*p == 0)
        return std::wstring();
    *found = true;
    return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
}

std::wstring Number(unsigned value) {
    wchar_t buffer[16];
    wsprintfW(buffer, L"%u", value);
    return buffer;
}

bool Compare(const std::wstring& where, const std::wstring& got, bool found,
             const wchar_t* expected) {
    if (found && got == expected)
        return true;
    Print(where + L": got " + (found ? L"\"" + got + L"\"" : std::wstring(L"nothing")));
    Print(where + L": expected \"" + expected + L"\"");
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HMODULE module = nullptr;
    if (argc > 1) {
        module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) {
            Print(L"cannot load " + std::wstring(argv[1]) + L", error " + Number(GetLastError()));
            return 2;
        }
    } else {
        module = GetModuleHandleW(nullptr);
    }

    int mismatches = 0;
    for (const Language& language : kLanguages) {
        for (int i = 0; i < kMessageCount; ++i) {
            bool found = false;
            std::wstring text = ReadString(module, kMessageIds[i], language.id, &found);
            if (!Compare(L"language " + Number(language.id) + L" message " + Number(kMessageIds[i]),
                         text, found, language.texts[i]))
                ++mismatches;
        }
    }

    LANGID ui = GetUserDefaultUILanguage();
    const Language* expected = nullptr;
    for (const Language& language : kLanguages)
        if (language.id == ui)
            expected = &language;
    if (expected) {
        for (int i = 0; i < kMessageCount; ++i) {
            const wchar_t* text = nullptr;
            int length = LoadStringW(module, kMessageIds[i], reinterpret_cast<LPWSTR>(&text), 0);
            std::wstring got = text && length > 0 ? std::wstring(text, length) : std::wstring();
            if (!Compare(L"LoadStringW " + Number(kMessageIds[i]), got, length > 0,
                         expected->texts[i]))
                ++mismatches;
        }
    }

    Print(Number(mismatches) + L" mismatches; interface language " + Number(ui) +
          (expected ? L", LoadStringW checked" : L", not one of the four: LoadStringW not checked"));
    if (argc > 1)
        FreeLibrary(module);
    return mismatches ? 1 : 0;
}
