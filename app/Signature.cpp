#include "app/Signature.h"

#include "userdata/ComposePages.h"

namespace {

QString WithoutTrailingBreaks(QString text) {
    while (text.endsWith('\n'))
        text.chop(1);
    return text;
}

}  // namespace

QString SignedBody(const QString& body, const QString& signature) {
    QString lines = signature;
    lines.replace("\r\n", "\n").replace('\r', '\n');
    lines = WithoutTrailingBreaks(lines);
    if (lines.trimmed().isEmpty())
        return body;
    const QString block = "-- \n" + lines;
    // Whole lines: a signature that only begins the same way is another one.
    if (('\n' + body + '\n').contains('\n' + block + '\n'))
        return body;
    return WithoutTrailingBreaks(body) + "\n\n" + block;
}

QString StoredSignature() {
    try {
        return QString::fromStdString(userdata::ReadComposeSettings().Signature);
    } catch (const std::exception&) {
        return {};  // a value of the wrong type: the window opens without a signature
    }
}
