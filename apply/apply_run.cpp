// The run: velloran's four phases over the setup file, read by the same
// code, each entry's call made through the same binding, with its outcome
// and the installer's error detail kept. With --skip-unchanged or --check,
// each entry is first compared with the live configuration, read through
// the installer with the library loaded once per entry and released before
// the entry's own call.
#include "apply.h"
#include "odbc_install.h"

#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace {

typedef std::vector<std::string> Elements;

// A data source as the view holds it, compared with an entry.
struct DataSourceState {
    bool exists;
    bool inPlace;  // exists, bound to the entry's driver, every attribute as given
};

enum DataSourceAction { ADD, CONFIGURE, REMOVE };

}  // namespace

const char ODBCINST_INI[] = "ODBCINST.INI";
const char ODBC_INI[] = "ODBC.INI";

static Elements SplitList(LPCSTR list)
{
    Elements elements;
    for (LPCSTR element = list; *element != '\0'; element += std::strlen(element) + 1)
        elements.push_back(element);
    return elements;
}

// Names and keywords match without regard to ASCII case, as the installer
// matches them.
static std::string Folded(const std::string& text)
{
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

static bool SameName(const std::string& a, const std::string& b)
{
    return Folded(a) == Folded(b);
}

// "keyword=value"; false for an element that is not a pair.
static bool SplitPair(const std::string& element, std::string& key, std::string& value)
{
    size_t equals = element.find('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    key = element.substr(0, equals);
    value = element.substr(equals + 1);
    return true;
}

// The data source an attribute list names: its first DSN= value.
static std::string DataSourceName(const Elements& attributes)
{
    std::string key, value;
    for (const std::string& element : attributes) {
        if (SplitPair(element, key, value) && SameName(key, "DSN"))
            return value;
    }
    return "";
}

static bool DriverListed(const LiveReader& reader, const std::string& name, bool& listed)
{
    std::vector<std::string> drivers;
    if (!ReadInstalledDrivers(reader, drivers))
        return false;
    listed = false;
    for (const std::string& driver : drivers)
        listed = listed || SameName(driver, name);
    return true;
}

// Every keyword=value element from `first` on is stored in the section with
// the same value; the keywords in `ignored` are not compared.
static bool PairsInPlace(const LiveReader& reader, LPCSTR file, const std::string& section,
                         const Elements& elements, size_t first, const std::set<std::string>& ignored)
{
    std::string key, value, stored;
    for (size_t i = first; i < elements.size(); ++i) {
        if (!SplitPair(elements[i], key, value))
            return false;
        if (ignored.count(Folded(key)) > 0)
            continue;
        if (!ReadLiveValue(reader, file, section.c_str(), key.c_str(), stored) || stored != value)
            return false;
    }
    return true;
}

static bool ComponentInPlace(const LiveReader& reader, bool driver, const Elements& spec)
{
    if (spec.empty() || spec[0].empty())
        return false;
    bool installed = false;
    std::string marker;
    if (driver) {
        if (!DriverListed(reader, spec[0], installed))
            return false;
    } else {
        installed = ReadLiveValue(reader, ODBCINST_INI, "ODBC Translators", spec[0].c_str(), marker);
    }
    return installed && PairsInPlace(reader, ODBCINST_INI, spec[0], spec, 1, {"USAGECOUNT"});
}

static DataSourceState ReadDataSourceState(const LiveReader& reader, const std::string& dsn,
                                           const std::string& driver, const Elements& attributes)
{
    DataSourceState state = {false, false};
    if (dsn.empty())
        return state;
    state.exists = LiveSectionExists(reader, ODBC_INI, dsn.c_str());
    if (!state.exists)
        return state;
    // Windows lists the driver's name under "ODBC Data Sources" and keeps
    // its file in the section; unixODBC keeps the name in the section.
    std::string listed, bound;
    bool boundHere = (ReadLiveValue(reader, ODBC_INI, "ODBC Data Sources", dsn.c_str(), listed) &&
                      SameName(listed, driver)) ||
                     (ReadLiveValue(reader, ODBC_INI, dsn.c_str(), "Driver", bound) &&
                      SameName(bound, driver));
    // The name is the section, and the driver is the one bound above.
    state.inPlace = boundHere &&
                    PairsInPlace(reader, ODBC_INI, dsn, attributes, 0, {"DSN", "DRIVER"});
    return state;
}

static DataSourceAction ActionOf(WORD request)
{
    switch (request) {
    case ODBC_CONFIG_DSN:
    case ODBC_CONFIG_SYS_DSN:
        return CONFIGURE;
    case ODBC_REMOVE_DSN:
    case ODBC_REMOVE_SYS_DSN:
        return REMOVE;
    default:
        return ADD;
    }
}

static UWORD ViewOf(WORD request)
{
    return request >= ODBC_ADD_SYS_DSN ? ODBC_SYSTEM_DSN : ODBC_USER_DSN;
}

namespace {

class Run {
public:
    Run(const ApplyOptions& options, const EntryReporter& report, RunResult& result)
        : options_(options), report_(report), result_(result)
    {
        result_ = RunResult{{}, 0, false};
    }

    void DriverManager(void)
    {
        if (!ReadInstallManagerSetting())
            return;
        EntryResult entry = NewEntry("manager", 1, INSTALL_KEY, "ODBC driver manager");
        if (options_.check) {
            // Never in place: it is always called when asked for.
            entry.outcome = LibraryMissing() ? "fail" : "install";
        } else {
            Call(entry, [] { return OdbcInstallDriverManager(); }, "installed");
        }
        Finish(entry);
    }

    void Components(LPCSTR phase, LPCSTR section, LPCSTR keyFormat, BOOL (*install)(LPCSTR))
    {
        bool driver = std::strcmp(phase, "driver") == 0;
        char value[ATTRIBUTE_LIST_SIZE];
        for (int n = 1; ReadComponentEntry(section, keyFormat, n, value); ++n) {
            Elements spec = SplitList(value);
            char key[LIST_KEY_SIZE];
            FormatListKey(key, keyFormat, n);
            EntryResult entry = NewEntry(phase, n, key, spec.empty() ? "" : spec[0]);
            // A check cannot see what an earlier entry of the file will install.
            bool earlier = driver && !spec.empty() && !driversInFile_.insert(Folded(spec[0])).second;
            if (options_.check || options_.skipUnchanged) {
                LiveReader reader;
                LiveReaderOpening opening = OpenLiveReader(reader);
                bool inPlace = opening == LIVE_READER_OPEN && !(options_.check && earlier) &&
                               ComponentInPlace(reader, driver, spec);
                CloseLiveReader(reader);
                if (options_.check)
                    entry.outcome = inPlace ? "unchanged"
                                    : opening == LIVE_READER_NO_LIBRARY ? "fail" : "install";
                else if (inPlace)
                    entry.outcome = "unchanged";
            }
            if (!options_.check && entry.outcome == NULL)
                Call(entry, [&] { return install(value); }, "installed");
            Finish(entry);
        }
    }

    void DataSources(void)
    {
        char driver[DRIVER_NAME_SIZE];
        char attributes[ATTRIBUTE_LIST_SIZE];
        char keyword[REQUEST_KEYWORD_SIZE];
        for (int n = 1; ReadDataSourceEntry(n, driver, attributes, keyword); ++n) {
            WORD request = MapRequestKeyword(keyword);
            Elements list = SplitList(attributes);
            std::string dsn = DataSourceName(list);
            char key[LIST_KEY_SIZE];
            FormatListKey(key, DATA_SOURCE_DRIVER_KEY_FORMAT, n);
            EntryResult entry = NewEntry("datasource", n, key, dsn);
            entry.hasRequest = true;
            entry.keyword = keyword;
            entry.request = request;
            DataSourceAction action = ActionOf(request);
            // Adding a data source that exists replaces it: a change of its
            // configuration, which only a read of the live state can tell.
            bool exists = false;
            if (options_.check)
                entry.outcome = Plan(action, ViewOf(request), dsn, driver, list, entry.errors);
            else if (options_.skipUnchanged && InPlace(action, ViewOf(request), dsn, driver, list, exists))
                entry.outcome = "unchanged";
            if (!options_.check && entry.outcome == NULL) {
                LPCSTR done = action == ADD ? (exists ? "configured" : "added")
                              : action == CONFIGURE ? "configured" : "removed";
                Call(entry, [&] { return OdbcConfigDataSource(request, driver, attributes); }, done);
            }
            Finish(entry);
        }
    }

private:
    EntryResult NewEntry(LPCSTR phase, int index, const std::string& key, const std::string& name)
    {
        return EntryResult{phase, index, key, name, false, "", 0, NULL, {}};
    }

    template <typename Installer>
    void Call(EntryResult& entry, Installer install, LPCSTR done)
    {
        CollectInstallerErrors(&entry.errors);
        bool succeeded = install() != FALSE;
        CollectInstallerErrors(NULL);
        entry.outcome = succeeded ? done : "failed";
    }

    void Finish(EntryResult& entry)
    {
        if (IsFailure(entry.outcome))
            ++result_.failed;
        if (IsChange(entry.outcome))
            result_.changed = true;
        result_.entries.push_back(entry);
        report_(result_.entries.back());
    }

    bool LibraryMissing(void)
    {
        LiveReader reader;
        LiveReaderOpening opening = OpenLiveReader(reader);
        CloseLiveReader(reader);
        return opening == LIVE_READER_NO_LIBRARY;
    }

    bool InPlace(DataSourceAction action, UWORD view, const std::string& dsn, LPCSTR driver,
                 const Elements& attributes, bool& exists)
    {
        LiveReader reader;
        bool inPlace = false;
        if (OpenLiveReader(reader) == LIVE_READER_OPEN && SelectLiveView(reader, view)) {
            DataSourceState state = ReadDataSourceState(reader, dsn, driver, attributes);
            inPlace = action == REMOVE ? !dsn.empty() && !state.exists : state.inPlace;
            exists = state.exists;
        }
        CloseLiveReader(reader);
        return inPlace;
    }

    // What an apply would do, by the same rules, with the data sources and
    // drivers of earlier entries taken into account where the live state
    // cannot yet show them.
    LPCSTR Plan(DataSourceAction action, UWORD view, const std::string& dsn, LPCSTR driver,
                const Elements& attributes, InstallerErrors& findings)
    {
        LiveReader reader;
        LiveReaderOpening opening = OpenLiveReader(reader);
        DataSourceState state = {false, false};
        bool viewRead = opening == LIVE_READER_OPEN && SelectLiveView(reader, view);
        bool driverInstalled = true;
        if (viewRead) {
            state = ReadDataSourceState(reader, dsn, driver, attributes);
            bool listed = false;
            if (DriverListed(reader, driver, listed))
                driverInstalled = listed || driversInFile_.count(Folded(driver)) > 0;
        }
        CloseLiveReader(reader);
        if (opening == LIVE_READER_NO_LIBRARY)
            return "fail";

        auto earlier = dataSourcesInFile_.find(std::make_pair(view, Folded(dsn)));
        bool touchedEarlier = !dsn.empty() && earlier != dataSourcesInFile_.end();
        bool exists = touchedEarlier ? earlier->second : state.exists;
        bool inPlace = viewRead && !touchedEarlier && state.inPlace;
        LPCSTR outcome;
        LPCSTR otherBuild = NULL;
        if (action == ADD && !driverInstalled && DriverInOtherView(driver, &otherBuild))
            // The classic mismatch: the driver is there, for applications of
            // the other bitness only.
            findings.push_back({ODBC_ERROR_COMPONENT_NOT_FOUND,
                                std::string("driver '") + driver + "' is not installed in the " +
                                    OdbcViewName() + " view but is in the other one: run the " +
                                    otherBuild + " build"});
        if (action == ADD)
            outcome = inPlace ? "unchanged" : !driverInstalled ? "fail" : exists ? "configure" : "add";
        else if (action == CONFIGURE)
            outcome = inPlace ? "unchanged" : viewRead && !exists ? "fail" : "configure";
        else
            outcome = viewRead && !dsn.empty() && !exists ? "unchanged" : "remove";
        if (!dsn.empty() && std::strcmp(outcome, "fail") != 0 && action != CONFIGURE)
            dataSourcesInFile_[std::make_pair(view, Folded(dsn))] = action == ADD;
        return outcome;
    }

    const ApplyOptions& options_;
    const EntryReporter& report_;
    RunResult& result_;
    std::set<std::string> driversInFile_;
    std::map<std::pair<UWORD, std::string>, bool> dataSourcesInFile_;
};

}  // namespace

bool IsChange(LPCSTR outcome)
{
    static const char* const changes[] = {"installed", "added", "configured", "removed",
                                          "install",   "add",   "configure",  "remove"};
    for (const char* change : changes) {
        if (std::strcmp(outcome, change) == 0)
            return true;
    }
    return false;
}

bool IsFailure(LPCSTR outcome)
{
    return std::strcmp(outcome, "failed") == 0 || std::strcmp(outcome, "fail") == 0;
}

void RunApply(const ApplyOptions& options, const EntryReporter& report, RunResult& result)
{
    Run run(options, report, result);
    // Taken as velloran takes it, for a check too: what it reads must not
    // be half-way through another run's rewrite.
    LockOdbcConfiguration();
    run.DriverManager();
    run.Components("translator", TRANSLATORS_SECTION, TRANSLATOR_KEY_FORMAT, OdbcInstallTranslator);
    run.Components("driver", DRIVERS_SECTION, DRIVER_KEY_FORMAT, OdbcInstallDriver);
    run.DataSources();
    UnlockOdbcConfiguration();
}
