#include "platform/json/QnJsonScan.h"

#include <QSet>
#include <QString>

namespace QnJsonScan {
namespace {

class Scanner
{
public:
    Scanner(const QByteArray &text, int maxDepth)
        : m_p(text.constData()), m_end(text.constData() + text.size()), m_maxDepth(maxDepth)
    {}

    bool document()
    {
        skipWs();
        if (!object(0))
            return false;
        skipWs();
        return m_p == m_end;
    }

private:
    void skipWs()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }

    bool literal(const char *word)
    {
        for (const char *w = word; *w; ++w, ++m_p) {
            if (m_p >= m_end || *m_p != *w)
                return false;
        }
        return true;
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    /// A string; its decoded text goes to out when out is not null.
    bool string(QString *out)
    {
        if (m_p >= m_end || *m_p != '"')
            return false;
        ++m_p;
        const char *runStart = m_p;
        auto flushRun = [&](const char *runEnd) {
            if (out && runEnd > runStart)
                out->append(QString::fromUtf8(runStart, int(runEnd - runStart)));
        };
        while (m_p < m_end) {
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                flushRun(m_p);
                ++m_p;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\') {
                ++m_p;
                continue;
            }
            flushRun(m_p);
            ++m_p; // the backslash
            if (m_p >= m_end)
                return false;
            const char e = *m_p++;
            QChar decoded;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                decoded = QLatin1Char(e);
                break;
            case 'b':
                decoded = QLatin1Char('\b');
                break;
            case 'f':
                decoded = QLatin1Char('\f');
                break;
            case 'n':
                decoded = QLatin1Char('\n');
                break;
            case 'r':
                decoded = QLatin1Char('\r');
                break;
            case 't':
                decoded = QLatin1Char('\t');
                break;
            case 'u': {
                if (m_end - m_p < 4)
                    return false;
                int code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int h = hexValue(m_p[i]);
                    if (h < 0)
                        return false;
                    code = code * 16 + h;
                }
                m_p += 4;
                decoded = QChar(ushort(code));
                break;
            }
            default:
                return false;
            }
            if (out)
                out->append(decoded);
            runStart = m_p;
        }
        return false; // unterminated
    }

    bool digits()
    {
        const char *start = m_p;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
        return m_p > start;
    }

    bool number()
    {
        if (m_p < m_end && *m_p == '-')
            ++m_p;
        if (m_p < m_end && *m_p == '0')
            ++m_p;
        else if (!digits())
            return false;
        if (m_p < m_end && *m_p == '.') {
            ++m_p;
            if (!digits())
                return false;
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            if (!digits())
                return false;
        }
        return true;
    }

    bool value(int depth)
    {
        if (m_p >= m_end)
            return false;
        switch (*m_p) {
        case '{':
            return object(depth + 1);
        case '[':
            return array(depth + 1);
        case '"':
            return string(nullptr);
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            return number();
        }
    }

    bool array(int depth)
    {
        if (depth > m_maxDepth || m_p >= m_end || *m_p != '[')
            return false;
        ++m_p;
        skipWs();
        if (m_p < m_end && *m_p == ']') {
            ++m_p;
            return true;
        }
        while (true) {
            skipWs();
            if (!value(depth))
                return false;
            skipWs();
            if (m_p >= m_end)
                return false;
            if (*m_p == ']') {
                ++m_p;
                return true;
            }
            if (*m_p != ',')
                return false;
            ++m_p;
        }
    }

    bool object(int depth)
    {
        if (depth > m_maxDepth || m_p >= m_end || *m_p != '{')
            return false;
        ++m_p;
        skipWs();
        if (m_p < m_end && *m_p == '}') {
            ++m_p;
            return true;
        }
        QSet<QString> keys;
        while (true) {
            skipWs();
            QString key;
            if (!string(&key))
                return false;
            if (keys.contains(key))
                return false; // duplicate key
            keys.insert(key);
            skipWs();
            if (m_p >= m_end || *m_p != ':')
                return false;
            ++m_p;
            skipWs();
            if (!value(depth))
                return false;
            skipWs();
            if (m_p >= m_end)
                return false;
            if (*m_p == '}') {
                ++m_p;
                return true;
            }
            if (*m_p != ',')
                return false;
            ++m_p;
        }
    }

    const char *m_p;
    const char *const m_end;
    const int m_maxDepth;
};

} // namespace

Result scanObject(const QByteArray &text, int maxDepth)
{
    Scanner scanner(text, maxDepth);
    return scanner.document() ? Result::Used : Result::Error;
}

} // namespace QnJsonScan
