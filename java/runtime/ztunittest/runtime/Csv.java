package ztunittest.runtime;

import java.nio.ByteBuffer;
import java.nio.CharBuffer;
import java.nio.charset.CharsetDecoder;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/**
 * Reads the CSV that "ztunittest datapool export" writes, by the same rules
 * as ztunittest itself reads it back: RFC 4180 quoting; records end in LF or
 * CR LF outside quotes; a quoted value may hold commas, doubled quotes and
 * line ends; blank lines are skipped; a UTF-8 byte order mark at the start
 * is dropped; text that is not UTF-8 is refused. Faults name the line.
 */
final class Csv {
    /** One record and the line it starts on (1-based). */
    static final class Record {
        final int line;
        final List<String> values;

        Record(int line, List<String> values) {
            this.line = line;
            this.values = values;
        }
    }

    /** A fault of the text; the message names the line. */
    static final class FormatException extends Exception {
        private static final long serialVersionUID = 1L;
        final int line;

        FormatException(int line, String message) {
            super("line " + line + ": " + message);
            this.line = line;
        }
    }

    private Csv() {
    }

    /** Decodes `bytes` as strict UTF-8, naming the line of the first bad byte. */
    static String decode(byte[] bytes) throws FormatException {
        CharsetDecoder decoder = StandardCharsets.UTF_8.newDecoder()
                .onMalformedInput(CodingErrorAction.REPORT)
                .onUnmappableCharacter(CodingErrorAction.REPORT);
        ByteBuffer in = ByteBuffer.wrap(bytes);
        CharBuffer out = CharBuffer.allocate(bytes.length + 1);
        if (decoder.decode(in, out, true).isError() || decoder.flush(out).isError()) {
            int line = 1;
            for (int i = 0; i < in.position(); i++) {
                if (bytes[i] == '\n') {
                    line++;
                }
            }
            throw new FormatException(line, "the text is not UTF-8");
        }
        out.flip();
        String text = out.toString();
        return text.startsWith("\uFEFF") ? text.substring(1) : text;
    }

    /** The records of `text`. */
    static List<Record> parse(String text) throws FormatException {
        List<Record> records = new ArrayList<>();
        int line = 1;
        int recordLine = 1;
        List<String> values = new ArrayList<>();
        StringBuilder value = new StringBuilder();
        boolean quoted = false;     // inside a quoted value
        boolean wasQuoted = false;  // the current value was quoted and is closed
        int quoteLine = 0;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (quoted) {
                if (c == '"' && i + 1 < text.length() && text.charAt(i + 1) == '"') {
                    value.append('"');
                    i++;
                } else if (c == '"') {
                    quoted = false;
                    wasQuoted = true;
                } else {
                    if (c == '\n') {
                        line++;
                    }
                    value.append(c);
                }
                continue;
            }
            if (c == '\r' && i + 1 < text.length() && text.charAt(i + 1) == '\n') {
                continue;
            }
            if (c == '\n') {
                if (!values.isEmpty() || value.length() > 0 || wasQuoted) {
                    values.add(value.toString());
                    records.add(new Record(recordLine, values));
                    values = new ArrayList<>();
                }
                value.setLength(0);
                wasQuoted = false;
                line++;
                recordLine = line;
            } else if (c == ',') {
                values.add(value.toString());
                value.setLength(0);
                wasQuoted = false;
            } else if (wasQuoted) {
                throw new FormatException(line, "text follows a closing quote (a quote inside a quoted value is written \"\")");
            } else if (c == '"') {
                if (value.length() > 0) {
                    throw new FormatException(line, "a quote inside a value that does not start with a quote");
                }
                quoted = true;
                quoteLine = line;
            } else {
                value.append(c);
            }
        }
        if (quoted) {
            throw new FormatException(quoteLine, "a quoted value is never closed");
        }
        if (!values.isEmpty() || value.length() > 0 || wasQuoted) {
            values.add(value.toString());
            records.add(new Record(recordLine, values));
        }
        return records;
    }
}
