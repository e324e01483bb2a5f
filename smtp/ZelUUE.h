#pragma once
// The attachment encoder: turns the bytes of a stream into lines of printable text, base64
// (uuMime) or the uuencode line form (uuCode).
#include <QObject>
#include <string>

#include "platform/Events.h"
#include "platform/Stream.h"

enum UUMethods { uuMime = 0, uuCode = 1 };

class TZelUUProcessor : public QObject {
  public:
    explicit TZelUUProcessor(QObject* AOwner = nullptr);

    // Encodes all of Source, from its start, into Destination, one line per LineBytes bytes,
    // and leaves Destination at position 0. OnEndEncode is raised also when encoding fails.
    void Encode();

    UUMethods Method = uuMime;
    // Bytes per line, a multiple of 3 from 3 to 63: 45 (60 characters) as uuencode has it; 57
    // gives the 76 characters of MIME's longest base64 lines.
    int LineBytes = 45;
    TStream* Source = nullptr;       // not owned
    TStream* Destination = nullptr;  // not owned
    std::string Alphabet;            // filled from Method by Encode

    TNotifyEvent OnBeginEncode;
    TNotifyEvent OnEndEncode;
    // Settable for callers that expect them; nothing decodes, so nothing raises them.
    TNotifyEvent OnBeginDecode;
    TNotifyEvent OnEndDecode;

  private:
    void EncodeLines();
    void EndAfterFailure() noexcept;
    size_t EncodeLine(const unsigned char* in, size_t n, char* out) const;
};
