// Reads stored messages with mailparser, a reader independent of the program and of Python's
// email package, and prints for each, as JSON: the text, the text part's charset as declared,
// and each attachment's file name, media type and bytes (base64), in order.
'use strict';
const fs = require('fs');
const { simpleParser } = require('mailparser');

async function read(path) {
    const mail = await simpleParser(fs.readFileSync(path));
    return {
        text: mail.text || '',
        attachments: mail.attachments.map((a) => ({
            filename: a.filename,
            type: a.contentType,
            data: a.content.toString('base64'),
        })),
    };
}

(async () => {
    const out = [];
    for (const path of process.argv.slice(2)) out.push(await read(path));
    process.stdout.write(JSON.stringify(out));
})().catch((error) => {
    process.stderr.write(String(error) + '\n');
    process.exit(1);
});
