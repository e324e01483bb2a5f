#pragma once
// The signature below the body of a new message, after the usual "-- " line, so that the user
// sees in the body what is sent.
#include <QString>

// The body with the signature below it: the body without its trailing line breaks, an empty line,
// "-- " and the signature. The body comes back as it is when the signature is blank or when the
// body holds it already (a restored draft, a window filled twice).
QString SignedBody(const QString& body, const QString& signature);

// The stored signature; none when it cannot be read.
QString StoredSignature();
