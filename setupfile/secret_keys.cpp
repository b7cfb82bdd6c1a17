// The one rule for what is secret. A key is secret when it is one of the
// exact names below, or holds one of the fragments, compared without regard
// to case; docs/velloran-check.md lists both in one table, with the reason
// for each.
// Blanks and the INI file's own marks (; # [ ]) around a key do not count:
// ";PWD" and "[PWD]" are PWD written so that unixODBC's files break, and
// their values are no less secret.
#include "secret_keys.h"
#include "ascii_case.h"

#include <algorithm>

const char MASKED_VALUE[] = "********";

// ODBC's own password keyword and credential keys of common drivers whose
// names hold none of the fragments.
static const char* const SECRET_NAMES[] = {
    "PWD",                // ODBC's connection-string password
    "ACCESSKEY",          // cloud drivers' access key (with a key id beside it)
    "AUTHENTICATIONKEY",  // drivers that sign requests with a shared key
    "ACCOUNTKEY",         // storage-account keys
    "APIKEY",             // drivers of web services
    "PRIVATEKEY",         // key-pair authentication given inline
};

// Fragments that mark a credential whatever the driver calls the rest.
static const char* const SECRET_FRAGMENTS[] = {"PASSWORD", "PASSWD", "SECRET", "TOKEN"};

static const char AROUND_A_KEY[] = " \t;#[]";

static std::string FoldedTrimmed(const std::string& key)
{
    size_t first = key.find_first_not_of(AROUND_A_KEY);
    size_t last = key.find_last_not_of(AROUND_A_KEY);
    return first == std::string::npos ? "" : LowerAscii(key.substr(first, last - first + 1));
}

bool IsSecretKey(const std::string& key)
{
    std::string folded = FoldedTrimmed(key);
    for (const char* name : SECRET_NAMES) {
        if (folded == LowerAscii(name))
            return true;
    }
    for (const char* fragment : SECRET_FRAGMENTS) {
        if (folded.find(LowerAscii(fragment)) != std::string::npos)
            return true;
    }
    return false;
}

std::string ShownValue(const std::string& key, const std::string& value)
{
    return IsSecretKey(key) ? MASKED_VALUE : value;
}

std::string MaskedElement(const std::string& element)
{
    size_t equals = element.find('=');
    if (equals == std::string::npos || !IsSecretKey(element.substr(0, equals)))
        return element;
    return element.substr(0, equals + 1) + MASKED_VALUE;
}

// Where each element's secret starts: after the '=' of a secret key=value,
// or at 0 for an element without '=' that follows one (the rest of a value
// that a \0 inside it split off); npos where nothing is secret.
static std::vector<size_t> SecretStarts(const std::vector<std::string>& elements)
{
    std::vector<size_t> starts(elements.size(), std::string::npos);
    for (size_t i = 0; i < elements.size(); ++i) {
        size_t equals = elements[i].find('=');
        if (equals != std::string::npos && IsSecretKey(elements[i].substr(0, equals)))
            starts[i] = equals + 1;
        else if (equals == std::string::npos && i > 0 && starts[i - 1] != std::string::npos &&
                 !elements[i].empty())
            starts[i] = 0;
    }
    return starts;
}

std::vector<std::string> MaskedElements(const std::vector<std::string>& elements)
{
    std::vector<size_t> starts = SecretStarts(elements);
    std::vector<std::string> masked;
    for (size_t i = 0; i < elements.size(); ++i)
        masked.push_back(starts[i] == std::string::npos
                             ? elements[i]
                             : elements[i].substr(0, starts[i]) + MASKED_VALUE);
    return masked;
}

std::vector<std::string> SecretValues(const std::vector<std::string>& elements)
{
    std::vector<size_t> starts = SecretStarts(elements);
    std::vector<std::string> secrets;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (starts[i] != std::string::npos)
            secrets.push_back(elements[i].substr(starts[i]));
    }
    return secrets;
}

std::string MaskSecretsIn(const std::string& text, const std::vector<std::string>& secrets)
{
    std::string masked = text;
    // Longest first, so a secret that holds another is masked whole.
    std::vector<std::string> ordered = secrets;
    std::sort(ordered.begin(), ordered.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& secret : ordered) {
        if (secret.empty())
            continue;
        for (size_t at = masked.find(secret); at != std::string::npos;
             at = masked.find(secret, at + sizeof MASKED_VALUE - 1))
            masked.replace(at, secret.size(), MASKED_VALUE);
    }
    return masked;
}
