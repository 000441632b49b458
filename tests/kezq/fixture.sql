-- The database that the kezq case files read, registered as "fx".
CREATE TABLE t (item VARCHAR(8), amount INTEGER, price REAL, note TEXT);
INSERT INTO t VALUES ('apple', 3, 0.5, 'red'), ('pear', 7, 1.25, NULL), ('plum', -2, 2.0, '12.5 kg'),
                     ('fig', 0, 12.5, ''), ('quince', 11, 0.125, 'x,y');
CREATE TABLE names (name VARCHAR(20));
INSERT INTO names VALUES ('t');
CREATE TABLE copy (item VARCHAR(8), amount INTEGER);
-- Awkward values: quotes in data, words and hexadecimal that are no
-- numbers, leading zeros, a big int, a many-digit real, empty and NULL.
CREATE TABLE odd (q1 TEXT, q2 TEXT, q3 TEXT, word TEXT, hex TEXT, zeros TEXT, big INTEGER, pi REAL, empty TEXT,
                  absent TEXT);
INSERT INTO odd VALUES ('say "hi"', '"abc', '"', 'INFINITY', '0x1F', '007', 2147483647, 3.141592653589793, '', NULL);
CREATE TABLE sink (v VARCHAR(5), w TEXT);
CREATE TABLE cut (v VARCHAR(5));
-- Values that print as the database gave them, a place name with a
-- two-octet letter, an invalid UTF-8 text, and texts longer than their field.
CREATE TABLE shown (id INTEGER, code TEXT, dec TEXT, huge INTEGER, place TEXT, bad TEXT);
INSERT INTO shown VALUES (100000, '01234', '1.10', 9007199254740993, 'Tucumán', CAST(X'41FF42' AS TEXT)),
                         (200000, '7', '2', 1, 'Salta', 'ok');
CREATE TABLE longs (id INTEGER, txt VARCHAR(3));
INSERT INTO longs VALUES (1, 'abcdef'), (2, 'abcdefgh'), (3, 'abc');
-- Rows that the stop tests insert in batches.
CREATE TABLE ins (id INTEGER);
