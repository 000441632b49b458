-- The database that the kezq case files read, registered as "fx".
CREATE TABLE t (item VARCHAR(8), amount INTEGER, price REAL, note TEXT);
INSERT INTO t VALUES ('apple', 3, 0.5, 'red'), ('pear', 7, 1.25, NULL), ('plum', -2, 2.0, '12.5 kg'),
                     ('fig', 0, 12.5, ''), ('quince', 11, 0.125, 'x,y');
CREATE TABLE names (name VARCHAR(20));
INSERT INTO names VALUES ('t');
CREATE TABLE copy (item VARCHAR(8), amount INTEGER);
